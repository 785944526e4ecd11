// The export options dialog (resource 101): frame range, name filters and switches.
#ifndef BRINDLARK_OPTIONS_DIALOG_H
#define BRINDLARK_OPTIONS_DIALOG_H

#include <windows.h>

// Runs the dialog modally; its close fills the export options. Its result is not needed: every
// close leads to the export.
INT_PTR runOptionsDialog(HWND owner);

INT_PTR CALLBACK optionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
