// Qt side of the form helpers: sizing, centring and font scaling of dialogs on the graphics
// window, the main window's size, and the installation of the Qt dialog service.
#pragma once

class QWidget;

namespace qern {

// The window dialogs are centred on (the graphics window); without one the screen is used.
void SetDialogHostWindow(QWidget* host);
QWidget* DialogHostWindow();

// Every dialog calls one of these when it is created (after its layout is set up).
void CentreDialog(QWidget* form);          // scale, then centre on the host window
void PlaceDialogAtSavedPos(QWidget* form); // scale, then at HelpPictureLeft/Top
void ScaleDialog(QWidget* form);           // scale only

// Client size ScreenWidth + 1 by ScreenHeight + 1 at 0/0 in the background colour.
void SetupMainWindow(QWidget* form);
// Largest ScreenWidth/ScreenHeight the configuration window accepts for this graphics window.
int MaxDrawingWidth(QWidget* graphicsWindow);
int MaxDrawingHeight(QWidget* graphicsWindow);

// Creates the Qt dialog service with the placements above and makes it current; mainWindow gets
// the application title. Call once after the QApplication exists.
void InstallQtDialogs(QWidget* mainWindow = nullptr);

}  // namespace qern
