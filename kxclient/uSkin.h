#pragma once
// The program's built-in blue skin, carried as a resource.
class QApplication;
void KxRegisterSkin(QApplication& app);
