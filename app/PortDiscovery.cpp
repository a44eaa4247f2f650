// The two port lists: refreshed by probing "COM1".."COM16" each time one is dropped down;
// choosing a name enables that tab's "Open". Each listed name shows the device it opens as its
// tool tip.
#include "app/MainForm.h"

#include "framework/qt/Ansi.h"
#include "serial/PortProbe.h"

#include <QFile>

void TMainForm::refreshPortList(ComboBox *list)
{
    for (const PortProbe &probe : probePorts()) {
        const QString item = fromAnsi(probe.name);
        if (probe.state != PortProbe::Present) {
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
        list->setItemData(index, QFile::decodeName(probe.devicePath.c_str()), Qt::ToolTipRole);
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
