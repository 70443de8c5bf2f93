#pragma once

#include "storage/ChoicesTable.h"

namespace tagsmith::RememberedChoices {

// "Remember my choices" on the main options screen: while it is ticked, the folder, the main page, the
// language and every option of the screen are kept in the program's database and come back at the next
// start. Off, as it is at first, every start begins with the defaults.

// The choices as the screens hold them now: every box, list and text of the main options screen by its
// object name (the description only once it is the user's own text), and the language.
Choices current();
// Puts choices into the screens, as the user would have made them.
void apply(const Choices &choices);

// At start, once the screens are made: the stored choices, when there are any, and the box ticked.
void restoreAtStart();
// Keeps the choices when the box is ticked; tells the user when they cannot be kept (quiet: only on
// standard error, as the program ends).
void keep(bool quiet);
// Forgets the stored choices: the box was cleared.
void forget();

} // namespace tagsmith::RememberedChoices
