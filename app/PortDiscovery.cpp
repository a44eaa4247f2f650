// The two port lists: refreshed by probing "COM1".."COM16", with the higher ports the system
// lists, each time one is dropped down; choosing a name enables that tab's "Open". Each listed
// name shows the device it opens as its tool tip.
#include "app/MainForm.h"

#include "serial/PortProbe.h"

void TMainForm::refreshPortList(ComboBox *list)
{
    for (const PortProbe &probe : probePorts()) {
        const std::string &item = probe.name;
        if (probe.state != PortProbe::Present && probe.state != PortProbe::Listed) {
            for (int i = 0; i < list->count(); ++i) {
                if (list->item(i) == item) {
                    list->deleteItem(i);
                    break;
                }
            }
            continue;
        }
        int index = -1;
        for (int i = 0; i < list->count() && index < 0; ++i) {
            if (list->item(i) == item)
                index = i;
        }
        if (index < 0)
            index = list->addItem(item);
        // Renewed on every probe: the name may lead to another device since it was listed.
        list->setItemHint(index, probe.devicePath);
    }
}

void TMainForm::ComboPortSetupDropDown(Control *)
{
    refreshPortList(ComboPortSetup);
}

void TMainForm::ComboPortRunDropDown(Control *)
{
    refreshPortList(ComboPortRun);
}

void TMainForm::ComboPortSetupChange(Control *)
{
    applyStates(states::SetupPortChosen);
}

void TMainForm::ComboPortRunChange(Control *)
{
    applyStates(states::RunPortChosen);
}
