// TEMPORARY stand-in until the display check itself is merged: it measures nothing and says so.
#include "DisplayCheck.h"

DisplayReport CheckDisplay(int) {
    DisplayReport report;
    report.path = "none";
    report.notes.push_back("TEMPORARY: this build has no display check yet");
    return report;
}
