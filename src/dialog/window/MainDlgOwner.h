#pragma once
// What the main window object tells its owner (the dialog control).

namespace stagehand {

class CMainDlg;

class MainDlgOwner {
public:
    // The window is destroyed and its browsers have released the host: the owner deletes
    // the window object, at once or when its own last call on it has returned.
    virtual void WindowRetired(CMainDlg* window) = 0;

protected:
    ~MainDlgOwner() = default;
};

}  // namespace stagehand
