#pragma once
// The driver's own dialog of the SANE control (`ShowUI`): a Qt Widgets dialog generated
// from the device's SANE options, with Scan and Cancel. It lives in the library
// su_scancontrol_ui so that programs without windows never load Qt Widgets. A program
// with windows links su_scancontrol_ui and calls InstallSaneDriverDialog() once, before
// the first AcquireImage with ShowUI set; without it such an AcquireImage fails with
// err::Unsupported.

namespace scancontrol {

void InstallSaneDriverDialog();
// Removes it again: AcquireImage with ShowUI set then fails as before the install.
void UninstallSaneDriverDialog();

} // namespace scancontrol
