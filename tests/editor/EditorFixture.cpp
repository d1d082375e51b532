#include "tests/editor/EditorFixture.h"

#include "editor/Form2.h"

#include <QApplication>
#include <QTest>

void EditorTest::showActive(editor::Form2& form)
{
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
}

void EditorTest::whenModal(std::function<void(editor::Form2&)> act)
{
    modal.whenShown([act = std::move(act)](QWidget* window) {
        auto* form = qobject_cast<editor::Form2*>(window);
        ASSERT_NE(form, nullptr);
        act(*form);
    });
}
