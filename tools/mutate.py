#!/usr/bin/env python3
"""Plants one realistic fault at a time into src/, rebuilds and runs the test suite: a fault the suite
lets pass (a survivor) is a rule no test holds.

For each mutant the source line is changed, the scratch build is brought up to date (ccache keeps
that incremental), ctest runs until its first failure, and the source is put back as it was, also
when the run is interrupted. A mutant that does not build counts as neither killed nor survived.

    tools/mutate.py                         # every mutant, build in build-mutate/
    tools/mutate.py --list                  # the mutants
    tools/mutate.py --only backup-counter --only skipped-rename
    tools/mutate.py --src /work/other-checkout --build-dir /tmp/other-mutate --report result.json

A mutant names one or more ways to find its line (file, text, replacement); the first that is found
in the tree is used, so the same fault can be planted in code that was moved or reworded since.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import time

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def m(name, layer, what, *ways):
    return {"name": name, "layer": layer, "what": what, "ways": list(ways)}


MUTANTS = [
    # --- engine: page splicing and marks
    m("splice-cut-keeps-bracket", "engine", "the dropped META tag keeps its closing bracket (off by one in a cut)",
      ("src/engine/page/PageSplicer.cpp",
       "static_cast<std::size_t>(static_cast<const char *>(close) - piece.data()) + 1;",
       "static_cast<std::size_t>(static_cast<const char *>(close) - piece.data());")),
    m("splice-no-mark-no-block", "engine", "a page without marks gets no block at its end",
      ("src/engine/page/PageSplicer.cpp", "    if (m_marks.MarkCount == 0)\n        m_sink.write(m_block);\n", "")),
    m("marks-blank-not-skipped", "engine", "blanks inside '< meta name' are no longer skipped",
      ("src/engine/page/MarkScanner.cpp", "if ((m_metaMatched < 0 && m_headMatched < 0) || c == ' ')",
       "if (m_metaMatched < 0 && m_headMatched < 0)")),
    # --- engine: backups and the exchange
    m("backup-counter", "engine", "the backup counter starts at 2 (index.bak, index.bak2 ...)",
      ("src/engine/page/PageBackup.cpp", "    if (counter > 0)\n        name += std::to_string(counter);",
       "    if (counter > 0)\n        name += std::to_string(counter + 1);")),
    m("backup-takes-over-full-file", "engine", "a backup name holding a non-empty file is taken over",
      ("src/engine/page/PageBackup.cpp", "if (S_ISREG(st.st_mode) && st.st_size == 0) {", "if (S_ISREG(st.st_mode)) {"),
      ("src/engine/page/PageBackup.cpp", "if (st.isRegular() && st.size == 0) {", "if (st.isRegular()) {")),
    m("backup-not-undone", "engine", "a page that could not be replaced keeps its new backup",
      ("src/engine/run/MetaRun.cpp", "        if (m_options.backup)\n            backup.undo();\n", "")),
    m("skipped-rename", "engine", "the new page is never renamed over the page",
      ("src/engine/page/PageReplacement.cpp",
       "    if (::rename(m_TempPath.c_str(), m_target.c_str()) != 0)\n        return errno;\n", ""),
      ("src/engine/page/PageReplacement.cpp",
       "    if (const int err = fs::rename(m_TempPath, m_target); err != 0)\n        return err;\n", "")),
    m("swallowed-close-error", "engine", "a failed close of the new page counts as success",
      ("src/engine/run/MetaRun.cpp", "    if (const int err = replacement.close(); err != 0)\n        return err;\n",
       "    replacement.close();\n"),
      ("src/engine/run/MetaRun.cpp", "    if (const int err = replacement->close(); err != 0)\n        return err;\n",
       "    replacement->close();\n")),
    m("dropped-close-result", "engine", "the close of the temporary file ignores its result",
      ("src/engine/page/PageReplacement.cpp", "        if (::close(m_fd) != 0 && m_error == 0)\n            m_error = errno;",
       "        ::close(m_fd);"),
      ("src/engine/page/PageReplacement.cpp",
       "        if (const int err = m_file.close(); err != 0 && m_error == 0)\n            m_error = err;",
       "        m_file.close();")),
    m("mode-not-kept", "engine", "the new page gets the creation mask's bits, not the page's",
      ("src/engine/page/PageReplacement.cpp",
       "    if (((mode & creationMask() & 07777) != 0 || ownerChanged) && ::fchmod(fd, mode & 07777) != 0)\n"
       "        return errno;\n", ""),
      ("src/engine/page/PageReplacement.cpp",
       "    if ((mode & fs::creationMask() & 07777) != 0 || ownerChanged)\n        return fs::changeMode(fd, mode);\n",
       "")),
    m("backup-copy-error-swallowed", "engine", "a backup copy whose writing failed counts as made",
      ("src/engine/page/PageBackup.cpp", "    if (err != 0)\n        undo();\n    return err;", "    return 0;")),
    # --- engine: the run
    m("block-words-after-swap", "engine", "a block built by the writing thread takes the table swapped out",
      ("src/engine/run/MetaRun.cpp", "m_reader.buildBlock(page, PageWords);", "m_reader.buildBlock(page, page.PageWords);")),
    m("charset-escapes-in-a-row", "engine", "two ISO-2022-JP escape sequences with no character between them decode",
      ("src/engine/encoding/LegacyCharsets.cpp", "return std::exchange(m_escaped, true) ? -1 : 0;", "return 0;")),
    m("charset-big5-first-pointer", "engine", "Big5 writes a box-drawing character by its first pointer, not the standard's",
      ("src/engine/encoding/LegacyCharsets.cpp", "later ? big5Pointers().last(c) : big5Pointers().first(c)",
       "big5Pointers().first(c)")),
    m("undo-empty-page-lost", "engine", "an empty page whose first backup a second write took over is not put back",
      ("src/engine/undo/Undo.cpp", "copyIntact(first) || first.beforeSize == 0 ? UndoAction::Restore",
       "copyIntact(first) ? UndoAction::Restore")),
    m("readahead-stale-page", "engine", "a page read ahead is not read again after a page written since",
      ("src/engine/run/MetaRun.cpp", "page->throughLink || ahead->replacedSince(*page)", "page->throughLink")),
    m("main-page-own-words", "engine", "the main page gets its own words instead of the site's",
      ("src/engine/run/MetaRun.cpp", "m_block.build(SiteWords, page.encoding, page.block);",
       "m_block.build(PageWords, page.encoding, page.block);"),
      ("src/engine/run/MetaRun.cpp", "m_reader.buildBlock(page, SiteWords);", "m_reader.buildBlock(page, PageWords);")),
    m("no-mark-message-reversed", "engine", "the message for a page without a mark goes to the pages with one",
      ("src/engine/run/MetaRun.cpp", "if (page.marks.MarkCount == 0)\n        m_observer.message(",
       "if (page.marks.MarkCount != 0)\n        m_observer.message(")),
    m("min-length-reversed", "engine", "a word exactly as long as the minimum is left out",
      ("src/engine/words/MinimumWordLength.h", "word.size() >= m_least", "word.size() > m_least")),
    m("backup-names-without-counter", "engine",
      "with backups off an empty file under a numbered backup name stays (the folder's listing misses it)",
      ("src/engine/page/PageBackup.cpp", "    while (!name.empty() && name.back() >= '0' && name.back() <= '9')\n        name.remove_suffix(1);\n",
       "")),
    m("backup-names-never-there", "engine", "with backups off an empty file under the backup name stays",
      ("src/engine/page/PageBackup.cpp", "return folder == m_folders.end() || folder->second.count(std::string(path.substr(nameAt))) != 0;",
       "return folder == m_folders.end();")),
    m("backup-names-not-hidden", "engine", "with backups off an empty backup of a dot-file main page stays",
      ("src/engine/run/MetaRun.cpp", "    // (A main page may be a dot-file, and so may its backup.)\n    if (ListedBackups",
       "    else if (ListedBackups")),
    m("delta-piece-assumed-same", "engine", "undo data keeps too little of a page whose META block starts like the old bytes",
      ("src/engine/undo/UndoStore.cpp", "piece.data() == before.data() + prefix ? n :", "true ? n :")),
    m("pieces-first-call-only", "engine", "a page of many pieces is written only as far as one writev takes",
      ("src/engine/fs/FileSystem.cpp", "    std::size_t next = 0;\n    while (next < pieces.size()) {",
       "    std::size_t next = 0;\n    if (next < pieces.size()) {")),
    m("mark-cut-tag-passed-over", "engine", "a META tag whose first byte ends a block of the page is not replaced",
      ("src/engine/page/MarkScanner.cpp", "    if (end - open < 2)\n        return true;", "    if (end - open < 2)\n        return false;")),
    m("page-table-keeps-room", "engine", "a page's word table keeps the room of a very large page for good",
      ("src/engine/words/WordTable.cpp", "        std::vector<Slot>(wanted, EmptySlot).swap(m_slots);\n        std::vector<Slot>().swap(m_rows);\n        std::vector<char>().swap(m_text);",
       "        m_slots.assign(wanted, EmptySlot);")),
    m("report-keywords-any-block", "engine", "the report lists a Windows-1252 page's accented keywords in its own bytes",
      ("src/engine/page/MetaBlock.cpp", "keywords.asUtf8 = appendKeywords(words, encoding, out) || encoding == PageEncoding::Utf8;",
       "keywords.asUtf8 = (appendKeywords(words, encoding, out), true);")),
    m("report-keywords-stale-place", "engine", "a page's report takes its keywords from where an earlier page's block had them",
      ("src/engine/page/PageReader.cpp", "    page.blockBuilt = true;\n    page.utf8Keywords.reset();\n", "    page.blockBuilt = true;\n")),
    m("case-fold-short-upper", "engine", "short ASCII keywords are written in upper case when lower is asked",
      ("src/engine/words/WordTable.cpp", "ascii::convertShort(word, buffer, ascii::lower, hashEight)",
       "ascii::convertShort(word, buffer, ascii::upper, hashEight)")),
    m("text-blocks-no-carry", "engine", "a word across two blocks of sixty-four bytes is cut in two",
      ("src/engine/words/WordScanner.h", "carry = masks.word >> 63;", "carry = 0;")),
    m("text-blocks-no-join", "engine", "letters split by a line break are two words in long text",
      ("src/engine/words/WordScanner.h", "if (to > from && (to == 64 ? between : between & ((std::uint64_t(1) << to) - 1)) != 0) {",
       "if (to > from) {")),
    m("text-blocks-gt-ends", "engine", "a stray \">\" ends a word in long text",
      ("src/engine/words/WordScanner.h", "if (p[limit] == '<') {", "if (p[limit] == '<' || p[limit] == '>') {")),
    m("delta-later-writes-kept-none", "engine", "the main page's second write keeps no way back when its first kept a delta",
      ("src/engine/undo/UndoStore.cpp", "written->second = written->second || (first && record.copyKind == CopyKind::Delta);",
       "written->second = false;")),
    m("delta-replaced-cut", "engine", "the bytes a run replaced are kept without their first byte",
      ("src/engine/undo/UndoStore.cpp", "record.replaced = before.substr(prefix, before.size() - prefix - suffix);",
       "record.replaced = before.substr(prefix + 1, before.size() - prefix - suffix);")),
    m("page-hash-earlier-kind-lost", "engine", "the hashes of journals of earlier versions are checked as XXH3",
      ("src/engine/undo/Undo.cpp", "PageHash page(PageHash::kindOf(like).value_or(PageHash::Kind::Xxh3));",
       "PageHash page;\n    (void)like;")),
    # --- engine: undo several runs deep, the folder's lock, names as bytes
    m("undo-mtime-not-restored", "engine", "undo puts a page's bytes back but not its modification time",
      ("src/engine/undo/Undo.cpp", "                if (first.before.exists())\n                    if (const int err = fs::setModificationTime(",
       "                if (false)\n                    if (const int err = fs::setModificationTime(")),
    m("undo-one-run-deep", "engine", "a run drops every earlier run of its folder",
      ("src/engine/undo/UndoStore.cpp", "(runs.size() - i + 1 > most || total > budget)", "(true)")),
    m("undo-budget-ignored", "engine", "the size budget drops no run",
      ("src/engine/undo/UndoStore.cpp", "(runs.size() - i + 1 > most || total > budget)", "(runs.size() - i + 1 > most)")),
    m("folder-lock-not-exclusive", "engine", "a second run of a folder is not refused while the first holds it",
      ("src/engine/fs/FileSystem.cpp", "if (::flock(file.fd(), LOCK_EX | LOCK_NB) != 0) {", "if (false) {")),
    m("name-byte-lost", "engine", "a name's byte that is not UTF-8 is lost on its way back to the disk",
      ("src/engine/fs/FileSystem.cpp", "        bytes += static_cast<char>(path.at(i).unicode() - 0xDC00);\n", "")),
    m("diff-label-unquoted", "engine", "--diff headers of names with blanks are not quoted",
      ("src/engine/page/PageDiff.cpp", "[](char c) { return c == ' ' || escapeOf(static_cast<unsigned char>(c)) != 0; });",
       "[](char c) { return escapeOf(static_cast<unsigned char>(c)) != 0; });")),
    # --- engine: sharing tags and the sitemap
    m("sitemap-noindex-listed", "engine", "a page that says noindex is listed in the sitemap",
      ("src/engine/run/MetaRun.cpp", "        if (page.noindex)\n            continue;\n", "")),
    m("sitemap-lastmod-run-date", "engine", "every page's lastmod is the date of the run",
      ("src/engine/run/MetaRun.cpp", "        if (!page.changed && page.mtimeNs <= sitemapWrittenNs) {", "        if (false) {")),
    m("sharing-own-property-doubled", "engine", "the block writes an og: property the page has itself",
      ("src/engine/page/MetaBlock.cpp", "        if (value.empty() || share.hasOwnProperty(name))", "        if (value.empty())")),
    m("sharing-own-noindex-missed", "engine", "a page's own robots noindex is not seen",
      ("src/engine/page/PageHead.cpp", "            m_head.noindex = true;", "            m_head.noindex = false;")),
    # --- engine: the most telling words
    m("telling-boilerplate-kept", "engine", "a paragraph repeated on many pages of the site becomes a description",
      ("src/engine/run/SitePlanner.cpp", "return with > 5 && with * 50 > pages;", "return false;")),
    # --- engine: arguments refused before the first page
    m("refuse-main-page-folder", "engine", "a folder given as the main page is not refused",
      ("src/engine/run/RunChecks.cpp", "    if (err == 0 && st.isFolder())\n        return Refusal{ids::MainPageIsFolder",
       "    if (false)\n        return Refusal{ids::MainPageIsFolder")),
    # --- engine: encodings
    m("charset-utf8-alias", "engine", "charset=utf8 (without the dash) no longer makes a page UTF-8",
      ("src/engine/encoding/EncodingDetection.cpp", '(name == "utf-8" || name == "utf8")', '(name == "utf-8")'),
      ("src/engine/encoding/CharsetLabels.cpp", '{"utf8", "utf-8"},', '{"utf8", "windows-1252"},')),
    m("undeclared-utf8-wrong", "engine", "a page of ASCII only is taken as UTF-8",
      ("src/engine/encoding/Utf8.h", "return m_valid && !m_decoder.pending() && m_sawMultiByte;",
       "return m_valid && !m_decoder.pending();")),
    m("cp1252-euro", "engine", "byte 0x80 is no longer the euro sign",
      ("src/engine/encoding/Windows1252.cpp", "if (byte >= 0x80 && byte < 0xA0)", "if (byte > 0x80 && byte < 0xA0)")),
    # --- storage
    m("startup-backup-as-fresh", "storage", "a database left only as its backup is replaced by a fresh one",
      ("src/storage/Startup.cpp", "if (!haveDatabase && !haveBackup) {", "if (!haveDatabase) {")),
    m("startup-check-ignored", "storage", "a compacted copy that fails its check is taken",
      ("src/storage/Startup.cpp", 'if (check.size() != 1 || check.front() != QLatin1String("ok")) {',
       "if (check.empty()) {")),
    m("startup-dropped-fsync", "storage", "a failed sync of the compacted database is not reported",
      ("src/storage/Startup.cpp", "    const bool ok = ::fsync(fd) == 0;", "    const bool ok = (::fsync(fd), true);"),
      ("src/engine/fs/FileSystem.cpp", "    return failed(::fsync(fd));", "    ::fsync(fd);\n    return 0;")),
    # --- text
    m("id-rounding", "text", "halves round away from even",
      ("src/text/IdConversion.cpp", "(n.fraction == Number::Fraction::Half && magnitude % 2 != 0)",
       "(n.fraction == Number::Fraction::Half && magnitude % 2 == 0)")),
    m("string-missing-id", "text", "a missing id gives the text of the next id",
      ("src/text/StringTable.cpp", "if (it == std::end(Table) || it->id != id)", "if (it == std::end(Table))")),
    # --- batch
    m("batch-exit-not-started", "batch", "a run that did not start exits with 0",
      ("src/batch/BatchCommand.cpp",
       "int status = report.result == RunResult::Completed ? batchexit::Completed : batchexit::Failed",
       "int status = report.result == RunResult::Failed ? batchexit::Failed : batchexit::Completed"),
      ("src/batch/BatchCommand.cpp", "result == RunResult::Completed ? batchexit::Completed : batchexit::Failed",
       "result == RunResult::Failed ? batchexit::Failed : batchexit::Completed")),
    m("batch-case-upper", "batch", "--case upper leaves lower case on (lower wins)",
      ("src/batch/BatchCommand.cpp", "options.upperCase = true;\n                options.lowerCase = false;",
       "options.upperCase = true;\n                options.lowerCase = true;")),
    # --- gui
    m("batch-version-stops-reading", "batch", "--version ignores the --database after it",
      ("src/batch/BatchCommand.cpp",
       "                asked = arg == QLatin1String(\"--help\") ? BatchArguments::Action::Help : BatchArguments::Action::Version;\n            continue;",
       "                asked = arg == QLatin1String(\"--help\") ? BatchArguments::Action::Help : BatchArguments::Action::Version;\n            break;")),
    m("batch-quiet-ignored", "batch", "--quiet still writes a line for each page without a mark",
      ("src/batch/BatchCommand.cpp", "if (m_arguments.quiet && msg.textId == ids::NoMarkAppending)",
       "if (false && msg.textId == ids::NoMarkAppending)")),
    m("batch-diff-alone", "batch", "--diff is taken without --dry-run",
      ("src/batch/BatchCommand.cpp", "if (result.diff && !options.dryRun)", "if (false)")),
    m("gui-popup-not-owned", "gui", "the message popup does not belong to the frame (the frame may cover it)",
      ("src/gui/Module1.cpp", "popup->windowHandle()->setTransientParent(screens().mdi->windowHandle());",
       "popup->windowHandle();"),
      ("src/gui/Module1.cpp", "        popup->windowHandle()->setTransientParent(ownerWindow);\n", "")),
    m("gui-second-popup", "gui", "a second message opens a popup of its own",
      ("src/gui/Module1.cpp", "    if (openPopup) {\n        // NOTE", "    if (false) {\n        // NOTE"),
      ("src/gui/Module1.cpp", "    if (openPopup) {\n        // The open popup", "    if (false) {\n        // The open popup")),
    m("gui-escape-ignored", "gui", "Escape does not close the message popup",
      ("src/gui/FrmPopUpOK.cpp", "if (event->key() == Qt::Key_Escape) {", "if (false) {")),
    m("gui-tab-order", "gui", "the Tab key goes through the main screen's focus order backwards",
      ("src/gui/FrmTsMain.cpp", "setTabOrder(order[i - 1], order[i]);", "setTabOrder(order[i], order[i - 1]);")),
    m("gui-robots-box", "gui", "the robots line follows the generator box",
      ("src/gui/FrmTsMain.cpp", "options.robots = on(8);", "options.robots = on(1);")),
    m("gui-case-boxes", "gui", "the upper and lower case boxes are swapped",
      ("src/gui/FrmTsMain.cpp", "options.upperCase = on(5);\n    options.lowerCase = on(6);",
       "options.upperCase = on(6);\n    options.lowerCase = on(5);")),
    m("gui-language-toggle", "gui", "the language button never switches to Dutch",
      ("src/gui/FrmTsTop.cpp", "Module1::LangOffset = Module1::LangOffset != 0 ? 0 : 100;",
       "Module1::LangOffset = Module1::LangOffset == 0 ? 0 : 100;")),
    m("gui-main-page-folder", "gui", "the chooser takes a folder as the main page",
      ("src/gui/FrmTsDir.cpp", "if (target == 1 && !QFileInfo(text).isFile()) {", "if (target == 1 && false) {"),
      ("src/gui/FrmTsDir.cpp", "if (target == 1 && !fs::isFile(text)) {", "if (target == 1 && false) {")),
    m("gui-start-language", "gui", "the program starts in Dutch",
      ("src/gui/Module1.cpp", "LangOffset = EnglishOffset; // always English at start",
       "LangOffset = 0; // always English at start")),
]


def find_way(src, mutant):
    for path, old, new in mutant["ways"]:
        full = os.path.join(src, path)
        if not os.path.exists(full):
            continue
        with open(full, encoding="utf-8") as f:
            text = f.read()
        count = text.count(old)
        if count == 1:
            return full, text, text.replace(old, new)
        if count > 1:
            sys.exit(f"{mutant['name']}: the text occurs {count} times in {path}")
    return None


def run(argv, cwd, timeout, log):
    with open(log, "ab") as out:
        out.write(("\n$ " + " ".join(argv) + "\n").encode())
        out.flush()
        try:
            return subprocess.run(argv, cwd=cwd, stdout=out, stderr=subprocess.STDOUT, timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            return "timeout"


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--src", default=REPO, help="the checkout to mutate (default: this one)")
    parser.add_argument("--build-dir", help="scratch build (default: SRC/build-mutate)")
    parser.add_argument("--only", action="append", help="run this mutant only (may be repeated)")
    parser.add_argument("--list", action="store_true", help="list the mutants and whether they apply")
    parser.add_argument("--report", help="write the results as JSON here")
    parser.add_argument("--test-timeout", type=int, default=300, help="seconds for one ctest run")
    args = parser.parse_args()

    src = os.path.abspath(args.src)
    build = os.path.abspath(args.build_dir or os.path.join(src, "build-mutate"))
    mutants = [x for x in MUTANTS if not args.only or x["name"] in args.only]
    if args.list:
        for x in mutants:
            print(f"{x['name']:30s} {x['layer']:8s} {'' if find_way(src, x) else '(not found) '}{x['what']}")
        return 0

    env = dict(os.environ)
    env.setdefault("CMAKE_CXX_COMPILER_LAUNCHER", "ccache")
    env["QT_QPA_PLATFORM"] = "offscreen"
    os.environ.update(env)
    log = build + ".log"
    os.makedirs(build, exist_ok=True)
    if os.path.exists(log):
        os.remove(log)
    # Release without debug information, linked by lld where it is installed: every mutant of the engine
    # relinks every test program, and those links are what takes the time.
    configure = ["cmake", "-S", src, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release"]
    if shutil.which("ld.lld"):
        configure.append("-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld")
    if run(configure, src, None, log) != 0 or \
            run(["cmake", "--build", build], src, None, log) != 0:
        sys.exit(f"the unchanged tree does not build; see {log}")
    ctest = ["ctest", "--test-dir", build, "--stop-on-failure", "-j2", "--timeout", "120"]
    if run(ctest, src, args.test_timeout, log) != 0:
        sys.exit(f"the unchanged tree fails its tests; see {log}")

    results = []
    for x in mutants:
        way = find_way(src, x)
        if not way:
            results.append({"name": x["name"], "layer": x["layer"], "result": "not found"})
            print(f"{x['name']:30s} not found", flush=True)
            continue
        path, original, mutated = way
        started = time.time()
        try:
            with open(path, "w", encoding="utf-8") as f:
                f.write(mutated)
            if run(["cmake", "--build", build], src, None, log) != 0:
                outcome = "does not build"
            else:
                code = run(ctest, src, args.test_timeout, log)
                outcome = "survived" if code == 0 else "killed"
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)
        results.append({"name": x["name"], "layer": x["layer"], "what": x["what"], "result": outcome,
                        "seconds": round(time.time() - started)})
        print(f"{x['name']:30s} {outcome:15s} {x['what']}", flush=True)
    # Leave the scratch build matching the source again.
    run(["cmake", "--build", build], src, None, log)

    counted = [r for r in results if r["result"] in ("killed", "survived")]
    killed = sum(r["result"] == "killed" for r in counted)
    print(f"\nkilled {killed} of {len(counted)} mutants that build"
          f" ({100.0 * killed / max(1, len(counted)):.0f}%)")
    for r in counted:
        if r["result"] == "survived":
            print(f"  survived: {r['name']}")
    if args.report:
        with open(args.report, "w") as f:
            json.dump({"src": src, "killed": killed, "counted": len(counted), "mutants": results}, f, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
