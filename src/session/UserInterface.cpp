#include "session/UserInterface.h"

namespace {

// Used until someone installs a real implementation: answers like a user who
// presses Escape, so nothing is ever changed or overwritten by default.
class CancellingUserInterface final : public IUserInterface {
public:
    int ShowMessageBox(const QString&, const QString&, int flags) override
    {
        const int buttons = flags & 0xF;
        if (buttons == mb::YesNo)
            return mb::IdNo;
        return buttons == mb::Ok ? mb::IdOk : mb::IdCancel;
    }
    bool InputLine(const QString&, const QString&, QString&, bool, int) override { return false; }
};

CancellingUserInterface fallback;
IUserInterface* current = &fallback;

} // namespace

IUserInterface* userInterface() { return current; }
void setUserInterface(IUserInterface* ui) { current = ui ? ui : &fallback; }
