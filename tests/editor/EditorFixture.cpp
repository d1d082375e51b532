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
