// Qt side of the form helpers: sizing, centring and font scaling of dialogs on the graphics
// window, the main window's size, and the installation of the Qt dialog service.
#pragma once

#include <QMargins>
#include <QRect>

class QWidget;

namespace qern {

// The window dialogs are centred on (the graphics window); without one the screen is used.
void SetDialogHostWindow(QWidget* host);
QWidget* DialogHostWindow();

// Every dialog calls one of these when it is created (after its layout is set up).
void CentreDialog(QWidget* form);          // scale, then centre on the host window
void PlaceDialogAtSavedPos(QWidget* form); // scale, then at HelpPictureLeft/Top
void ScaleDialog(QWidget* form);           // scale only

// Windows are stored and placed by their client rectangle (QWidget::geometry), never by the
// frame: a place read back and set again stays where it was.
// The client rectangle moved (and only when it is larger, made smaller) so that the window with
// its frame lies wholly on the available area.
QRect FitClientOnScreen(const QRect& client, const QMargins& frame, const QRect& available);
// The frame of top-level windows on this desktop: the host window's once it is shown, else an
// allowance for a title bar and borders.
QMargins WindowFrameMargins();
// The available area of the screen the host window (or else the primary screen) is on.
QRect AvailableScreenArea();
// Makes AvailableScreenArea give area instead of the screen's (an empty area: the screen's again);
// for tests that must not depend on the machine's screen.
void SetAvailableScreenAreaOverride(const QRect& area);
// Sets a top-level window's client rectangle, fitted on the available area.
void PlaceWindowClient(QWidget* window, const QRect& client);

// The drawing area (client below the menu bar) ScreenWidth + 1 by ScreenHeight + 1, the window at
// 0/0 in the background colour, within the available screen area.
void SetupMainWindow(QWidget* form);
// Only the size and place of SetupMainWindow (after a change of ScreenWidth/ScreenHeight).
void SizeMainWindow(QWidget* form);
// Largest ScreenWidth/ScreenHeight the configuration window accepts for this graphics window.
int MaxDrawingWidth(QWidget* graphicsWindow);
int MaxDrawingHeight(QWidget* graphicsWindow);

// Creates the Qt dialog service with the placements above and makes it current; mainWindow gets
// the application title. Call once after the QApplication exists.
void InstallQtDialogs(QWidget* mainWindow = nullptr);

}  // namespace qern
