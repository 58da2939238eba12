// The geometry input window: the main place where a serration design is entered, with the
// calculation rerun after every change and its results and messages shown beside the inputs.
#pragma once

class QWidget;

namespace qern {

// Opens the window modally on the global design. OK (after a calculation without fatal messages)
// keeps the edits and returns true; Cancel restores the design as it was and returns false with
// AbortFlag set.
bool EditDimensions(QWidget* parent);

}  // namespace qern
