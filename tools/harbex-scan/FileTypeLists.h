#pragma once

// Gives the file-type filter its extension lists per category (the desktop
// application reads them from its resources). Call before CreateFilter().
void SetFileTypeLists();
