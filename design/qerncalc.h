// The serration calculation: turns the inputs of a design record into the complete, checked
// geometry of shaft (part 1) and hub (part 2) with its messages.
#pragma once

#include <string>
#include <vector>

#include "design/qernvar.h"
#include "framework/progvar.h"

namespace qern {

// The one calculation of the program, on the global Design: fills Errors through AddError
// and sets Flags.FatalError with every "Fatal  : " message; clears AbortFlag.
void CalculateSerration();

// The same calculation on any record, with its messages and fatal flag kept in the given
// list and flag (a scratch record leaves the program's error list and flags alone).
void CalculateSerration(DesignRecord& rec, ErrorListRecord& messages, bool& fatal);

// The calculation as far as it sets the inputs a design is known by: tooth counts, module,
// pressure angle, pitch diameters and profile shifts come out as CalculateSerration gives them,
// to the last bit; diameter groups, pin dimensions, tool dimensions and the checks are left out
// (the other results and the messages are those of the steps made). For lists of many designs.
void CalculateKeyValues(DesignRecord& rec, ErrorListRecord& messages, bool& fatal);

// The calculation as far as it sets every value a design file holds: those come out as
// CalculateSerration gives them, to the last bit, and with them the key values; the standard pin
// diameters, tool dimensions and the checks are left out. For the range check of many designs.
void CalculateStoredValues(DesignRecord& rec, ErrorListRecord& messages, bool& fatal);

// The steps of the calculation, exposed for the geometry window and for tests. They act on
// the given record and report through the program's error list (AddError, Flags.FatalError),
// which CalculateSerration(rec, messages, fatal) points at its own list while it runs.
void BaseGeometry(DesignRecord& rec);
void CheckBasicInputs(DesignRecord& rec);
void ProfileShiftByMode(DesignRecord& rec, int part);
long double ShiftFromToothThickness(const DesignRecord& rec, int part);  // from working sn
long double ShiftFromSpaceWidth(const DesignRecord& rec, int part);      // from working en
long double ShiftFromPinDimension(DesignRecord& rec, int part);          // iteration on MdR
void PinDimensionForPart(DesignRecord& rec, int part);
void RecalculateResults(DesignRecord& rec);
void CalculateToolDimensions(DesignRecord& rec);
void CheckResults(DesignRecord& rec);

// Every message text the calculation can produce; texts followed by a number or a part are
// given as the fixed text before it.
const std::vector<std::string>& CalculationMessages();
// The same texts cut to the 14 characters by which message help finds its entries,
// without repeats.
const std::vector<std::string>& CalculationMessageKeys();

// Iteration limits of the pin-dimension search.
constexpr long double ShiftIterationStep = 0.02L;       // bracket step of x
constexpr long double ShiftIterationLimit = 1.5L;       // |x| searched up to this
constexpr long double ShiftIterationTolerance = 0.0001L;  // mm on the pin dimension
constexpr int ShiftIterationRounds = 250;

}  // namespace qern
