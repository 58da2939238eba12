// The help-picture window TForm_hilfebild: a small tool window over the drawing with the
// catalogue's entries in a drop-down list, a spin button to step through them and the catalogue
// buttons. Every choice closes it; the menu loop (framework/whbild.h) acts and shows it again.
#pragma once

#include <QDialog>
#include <QRect>
#include <vector>

#include "framework/whbild.h"

class QComboBox;
class QPushButton;
class QToolButton;

namespace qern {

class TForm_hilfebild : public QDialog {
  Q_OBJECT

 public:
  // count entries from ChoiceTexts 1..count, entry selected (1-based) current.
  TForm_hilfebild(int count, int selected, QWidget* parent = nullptr);

  // What the user did; Finished while the window was ended with OK or closed.
  HelpPictureWindowAnswer Answer() const { return answer_; }

  QPushButton* Button_ok;
  QPushButton* Button_help;
  QPushButton* Button_neu;
  QPushButton* Button_aendern;
  QPushButton* Button_einfuegen;
  QPushButton* Button_loeschen;
  QComboBox* ListBox1;
  QWidget* SpinButton1;
  QToolButton* SpinButton1Up;
  QToolButton* SpinButton1Down;

  void ListBox1Change(int row);
  void SpinButton1UpClick();
  void SpinButton1DownClick();
  void Button_neuClick();
  void Button_okClick();
  void Button_helpClick();

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void Choose(int entry, int action);  // closes with the entry and action
  int count_;
  bool filling_ = false;
  HelpPictureWindowAnswer answer_;
};

// Makes TForm_hilfebild the window of HelpPictureMenu, and help pictures asked for from a modal
// dialog show beside it as well; the program calls it once at start.
void InstallHelpPictureWindow();
// The picture drawn apart, in a window of the dialog's own ("HelpPictureView") beside it on the
// screen; the drawing window keeps its picture.
void ShowHelpPictureBesideDialog(QWidget* dialog, HelpPictureDrawing picture);

// Capital height in pixels at which a help picture's labels read like a dialog's own text.
inline constexpr double MinReadableTextHeight = 8;
// The client size of the help-picture window for a picture of the given size in drawing-area
// pixels whose smallest capitals are smallestText pixels high (0: no texts): the labels readable,
// a third of the picture at the least, within three quarters of the available area.
QSize HelpPictureViewSize(QSize picture, double smallestText, const QRect& available);
// The dialog's inputs on the screen: its shown, enabled controls that the user enters or chooses
// something with, each as far as it is in view (a scrolled list of inputs shows only some of
// them). Read-only texts and the frames that scroll the inputs are results, not inputs.
std::vector<QRect> DialogInputRects(QWidget* dialog);
// Where a window of this (frame) size goes on the available area: where it covers the least of
// the dialog's inputs, then of the dialog itself; beside the dialog when there is room.
QRect PlaceHelpPictureView(const QRect& dialog, const std::vector<QRect>& inputs, const QSize& size,
                           const QRect& available);

}  // namespace qern
