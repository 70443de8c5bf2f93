#include "text/StringTable.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace tagsmith {
namespace {

struct Entry
{
    int id;
    const char *text; // UTF-8, exactly as shown, blanks included
};

// Sorted by id. Dutch at the base id, English at base id + 100.
constexpr Entry Table[] = {
    // About screen: the maker's texts.
    {1001, "Gemaakt door:"},
    {1002, "Tagsmith ontwikkelaars"},
    {1003, "Vragen en opmerkingen:"},
    {1004, "Meld ze in de issue tracker."},
    {1005, "Met dank aan:"},
    {1006, "Iedereen die een fout meldde."},
    {1007, "Vrij te gebruiken voor iedere website."},
    {1009, "Html Map:"},
    {1010, "Hoofd pagina:"},
    {1011, "Bestands naam:"},
    {1012, "Backup naam:"},
    {1013, "Ja"},
    {1014, "Nee"},
    {1015, "OK"},
    {1016, "HTML Map"},
    {1017, "Index Bestand"},
    {1018, "Bladeren"},
    {1019, "Meta Omschrijving"},
    {1020, "Meta Trefwoorden"},
    {1021, "Meta Zoekrobot"},
    {1022, "Meta Opnieuw na:"},
    {1023, "Maak backup van orgineel bestand."},
    {1024, "Maand(en)."},
    {1025, "Standaard"},
    {1026, "Wijzigen"},
    {1030, "Tagsmith Foutmelding:"},
    {1032, "Er is geen map geselecteerd"},
    {1033, "Er is geen file geselecteerd"},
    {1034, "Min. woord lengte:"},
    {1035, "Alle woorden in:"},
    {1036, "Hoofdletters"},
    {1037, "Kleine letters"},
    {1038, "Programma opties"},
    {1039, "Meta Tag Formaat"},
    {1040, "Start creëren meta tags."},
    {1041, "Language: English"},
    {1042, "Informatie over dit programma."},
    {1043, "Map waarin de htm / html files staan."},
    {1044, "Hoofdpagina waar alle gevonden woorden gezet worden."},
    {1045, "Zet hier de site omschrijving."},
    {1046, "Tagsmith Waarschuwing !"},
    {1047, "Je selecteerde: WIS HET ORGINELE BESTAND !"},
    {1048, "Geen <Meta Name or </Head tag gevonden, plaatsing aan einde van bestand. "},
    {1049, "De geselecteerde disk of map bestaat niet."},
    {1050, "De geselecteerde map bevat geen htm / html bestanden."},
    {1051, "Sluit Tagsmith"},
    {1052, "Standaard instellingen laden."},
    {1053, "Instellingen wijzigen ."},
    {1055, "Meta Generator"},

    {1101, "Made by:"},
    {1102, "Tagsmith developers"},
    {1103, "Questions and remarks:"},
    {1104, "Use the project's issue tracker."},
    {1105, "With thanks to:"},
    {1106, "Everyone who reported a fault."},
    {1107, "Free to use for any web site."},
    {1109, "HTML Dir:"},
    {1110, "Main Page:"},
    {1111, "File name:"},
    {1112, "Backup name:"},
    {1113, "Yes"},
    {1114, "No"},
    {1115, "OK"},
    {1116, "HTML Dir"},
    {1117, "Index File"},
    {1118, "Browse"},
    {1119, "Meta Description"},
    {1120, "Meta Keywords"},
    {1121, "Meta Robots"},
    {1122, "Meta ReVisit after:"},
    {1123, "Backup original file."},
    {1124, "Month(s)."},
    {1125, "Default"},
    {1126, "Change"},
    {1130, "Tagsmith Error:"},
    {1132, "No directory selected."},
    {1133, "No file selected."},
    {1134, "Min. word lenght:"},
    {1135, "All words in:"},
    {1136, "Uppercase."},
    {1137, "Lowercase."},
    {1138, "Program options"},
    {1139, "Meta Tag format"},
    {1140, "Start creating metatags"},
    {1141, "Taal: Nederlands"},
    {1142, "Information about this program."},
    {1143, "Directory containing htm / html files."},
    {1144, "Main page were all found words will be inserted."},
    {1145, "Enter your site description here."},
    {1146, "Tagsmith Warning !"},
    {1147, "You selected: DELETE ORIGINAL FILE !"},
    {1148, "No <Meta Name or </Head tag found, appending to end of file. "},
    {1149, "The selected drive or directory invalid."},
    {1150, "Selected dir contains no htm / html files."},
    {1151, "Exit Tagsmith"},
    {1152, "Load default settings."},
    {1153, "Change settings."},
    {1155, "Meta Generator"},

    // File errors: 2000 + run-time error number in Dutch, 2100 + number in English.
    {2052, "Ongeldige bestandsnaam"},
    {2053, "Bestand niet gevonden."},
    {2054, "Verkeerde bestands mode."},
    {2055, "Bestand is al open."},
    {2057, "Drive I/O Error."},
    {2058, "Bestand bestaat al."},
    {2059, "Ongeldige bestandslengte."},
    {2061, "Niet genoeg vrije ruimte op disk of disk is vol."},
    {2062, "Invoer voorbij einde van bestand."},
    {2063, "Ongeldig record nummer."},
    {2067, "Te veel files geopend."},
    {2068, "Geen media in drive of geen toegang."},
    {2070, "Toegang geweigerd."},
    {2071, "Disk is niet gereed."},
    {2075, "Toegangsfout, geen rechten om bestand te openen of te wijzigen."},
    {2076, "De geselecteerde disk of map bestaat niet."},
    {2152, "Bad filename."},
    {2153, "File not found."},
    {2154, "Bad file mode."},
    {2155, "File already open."},
    {2157, "Drive I/O error."},
    {2158, "File already exists."},
    {2159, "Bad record lenght."},
    {2161, "Not enough space on disk or disk full."},
    {2162, "Input past end of file."},
    {2163, "Bad record number."},
    {2167, "Too many files are open."},
    {2168, "No media in drive or no access."},
    {2170, "Permission denied."},
    {2171, "Disk not ready."},
    {2175, "Access error, no rights to open or change file."},
    {2176, "Selected drive or directory is invalid."},
    // About screen: the texts of the version information, in both languages.
    {3030, "Schrijft META tags in de pagina's van een statische website."},
    {3031, "Tagsmith ontwikkelaars"},
    {3032, "Copyright (C) 2026 Tagsmith ontwikkelaars. Alle rechten voorbehouden."},
    {3090, "databank: %1"},
    {3091, "Kan de gegevensmap %1 niet maken"},
    {3130, "Writes META tags into the pages of a static web site."},
    {3131, "Tagsmith developers"},
    {3132, "Copyright (C) 2026 Tagsmith developers. All rights reserved."},
    {3190, "database: %1"},
    {3191, "Cannot make the data folder %1"},
};

constexpr bool isSorted()
{
    for (std::size_t i = 1; i < std::size(Table); ++i)
        if (Table[i - 1].id >= Table[i].id)
            return false;
    return true;
}
static_assert(isSorted(), "the string table must be sorted by id, each id once");

} // namespace

std::optional<QString> loadString(int id)
{
    const auto it =
        std::lower_bound(std::begin(Table), std::end(Table), id, [](const Entry &e, int key) { return e.id < key; });
    if (it == std::end(Table) || it->id != id)
        return std::nullopt;
    return QString::fromUtf8(it->text);
}

} // namespace tagsmith
