// The two port lists: refreshed by probing "COM1".."COM16" each time one is dropped down;
// choosing a name enables that tab's "Open". Each listed name shows the device it opens as its
// tool tip.
#include "app/MainForm.h"

#include "framework/core/Ansi.h"
#include "framework/core/Format.h"
#include "platform/win32.h"
#include "serial/PortDevice.h"

#include <QFile>

namespace {

constexpr int FirstProbedPort = 1;
constexpr int LastProbedPort = 16;

// A name counts as present when it can be opened now, exclusively and for overlapped I/O,
// exactly as the port opens it (without the device prefix); the handle is closed at once.
bool portPresent(const std::string &name)
{
    HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(handle);
    return true;
}

} // namespace

void TMainForm::refreshPortList(ComboBox *list)
{
    for (int n = FirstProbedPort; n <= LastProbedPort; ++n) {
        const std::string name = formatText("COM%d", n);
        const QString item = fromAnsi(name);
        if (!portPresent(name)) {
            for (int i = 0; i < list->count(); ++i) {
                if (list->itemText(i) == item) {
                    list->deleteItem(i);
                    break;
                }
            }
            continue;
        }
        int index = -1;
        for (int i = 0; i < list->count() && index < 0; ++i) {
            if (list->itemText(i) == item)
                index = i;
        }
        if (index < 0)
            index = list->addText(item);
        // Renewed on every probe: the name may lead to another device since it was listed.
        // A device path is a file name, so it is decoded as the file system encodes it.
        list->setItemData(index, QFile::decodeName(portDevicePath(name).c_str()), Qt::ToolTipRole);
    }
}

void TMainForm::ComboPortSetupDropDown(QObject *)
{
    refreshPortList(ComboPortSetup);
}

void TMainForm::ComboPortRunDropDown(QObject *)
{
    refreshPortList(ComboPortRun);
}

void TMainForm::ComboPortSetupChange(QObject *)
{
    applyStates(states::SetupPortChosen);
}

void TMainForm::ComboPortRunChange(QObject *)
{
    applyStates(states::RunPortChosen);
}
