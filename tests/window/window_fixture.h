#pragma once
// A main window made with stand-in services in a temporary working folder, and lookups of
// its controls by object name.
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

#include "window/form_main.h"
#include "support/fake_services.h"
#include "support/temp_folder.h"

namespace r7730::testing {

class WindowTest : public ::testing::Test {
protected:
    WindowTest()
    {
        folder.MakeFolder(QStringLiteral("Log"));
        form = std::make_unique<TForm_main>(TFormServices{services.dialogs, services.clock, services.launcher});
    }

    // The control named so; fails the test when there is none of that type.
    template <typename T = QWidget>
    T* Find(const char* name)
    {
        T* widget = form->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << "no control named " << name;
        return widget;
    }

    TTempWorkingFolder folder;
    TFakeServices services;
    std::unique_ptr<TForm_main> form;
};

// The control's own enabled and visible flags, apart from those of its parents.
inline bool OwnEnabled(const QWidget* widget) { return !widget->testAttribute(Qt::WA_ForceDisabled); }
inline bool OwnVisible(const QWidget* widget) { return !widget->isHidden(); }

} // namespace r7730::testing
