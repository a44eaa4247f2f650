// The Win32 controls by the stored layout's class names, made at their site.
#pragma once

#include "framework/win32/Win32Control.h"

#include <memory>

std::unique_ptr<Win32Control> makeButton(const ControlSite &site);
std::unique_ptr<Win32Control> makeCheckBox(const ControlSite &site);
std::unique_ptr<Win32Control> makeLabel(const ControlSite &site);
std::unique_ptr<Win32Control> makeEdit(const ControlSite &site, bool readOnly);
std::unique_ptr<Win32Control> makeMemo(const ControlSite &site);
std::unique_ptr<Win32Control> makeComboBox(const ControlSite &site);
std::unique_ptr<Win32Control> makeRadioGroup(const ControlSite &site);
std::unique_ptr<Win32Control> makeScrollBar(const ControlSite &site);
std::unique_ptr<Win32Control> makeSpinBox(const ControlSite &site);
std::unique_ptr<Win32Control> makeTabControl(const ControlSite &site);
// A window that holds controls; with a caption it is framed as a group box.
std::unique_ptr<Win32Control> makePanel(const ControlSite &site, bool framed);
// A tab control's page (site.parent: the tab control's window).
std::unique_ptr<Win32Control> makeTabPage(const ControlSite &site);
// Raises EPictureError when the picture cannot be read.
std::unique_ptr<Win32Control> makePicture(const ControlSite &site, std::string_view source);
std::unique_ptr<Win32Control> makeRoundTripChart(const ControlSite &site);
std::unique_ptr<Win32Control> makeReceiveBox(const ControlSite &site);
