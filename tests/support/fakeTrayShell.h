#pragma once
// A notification area for widget tests: counts add/modify/delete calls, keeps the last icon record,
// can refuse to add or remove, and lets a test click the icon.
#include <QVector>

#include "tray/trayShell.h"

namespace ups::test {

class FakeTrayShell : public TrayShell {
public:
    bool host = true;
    bool refuseAdd = false;
    bool refuseRemove = false;
    int adds = 0, modifies = 0, deletes = 0;
    bool shown = false;
    TrayIconData last;
    QPoint cursor{100, 100};

    bool hostAvailable() const override { return host; }
    bool add(const TrayIconData& data) override {
        ++adds;
        if (refuseAdd) return false;
        shown = true;
        last = data;
        return true;
    }
    bool modify(const TrayIconData& data) override {
        ++modifies;
        last = data;
        return shown;
    }
    bool remove() override {
        ++deletes;
        if (refuseRemove) return false;
        shown = false;
        return true;
    }
    QPoint cursorPos() const override { return cursor; }

    void click(TrayMouse m) { emit mouse(m); }
    QString tip() const { return (last.flags & TrayIconData::kNifTip) ? last.tip : QString(); }
};

}  // namespace ups::test
