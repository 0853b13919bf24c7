#pragma once

// What every program prints under its name and version for --version (help2man puts it in the
// man pages' COPYRIGHT section).
#define TERVO_LICENCE_NOTE                                                    \
    "License GPL-3.0-or-later <https://www.gnu.org/licenses/gpl-3.0.html>.\n" \
    "This is free software: you are free to change and redistribute it.\n"    \
    "There is NO WARRANTY, to the extent permitted by law.\n"
