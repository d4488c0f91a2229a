// What a screen reader reads for two kinds of controls whose standard
// accessible form would read a value where it should read a label:
//  - a drop-down is named by its label (its accessible name), and its
//    current choice is its value; the standard form names it by the choice;
//  - a label that shows a value (one the program named: object name, and
//    an accessible name that is its caption, such as "Type:" for
//    "24 bit True Color") is named by its caption, and its value is
//    readable as its text and its description; the standard form offers
//    the name only. Captions read as their text, as before.
// Every other control keeps the standard form.
#pragma once

// Installs the forms above for every widget made from now on (once; later
// calls do nothing). The application does it when it starts.
void InstallAccessibleNames();
