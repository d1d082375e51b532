// The list after a change of the user's own: the sort, the ticks, the find filter and
// the scroll stay as they were, and the row the change concerns is the current one,
// so the next Enter edits the row the user sees.
#include "tests/main/MainWindowFixture.h"

#include "editor/Form2.h"
#include "shell/Dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

using namespace mainwindow;

class ListPlace;

namespace {
enum { Id, Date, Account, Description, Withdrawal };

struct Change {
    const char* name;
    // What the user does, on the window of the fixture.
    std::function<void(ListPlace&)> act;
    qint64 current;   // the row current afterwards
    int rows;         // how many rows the list then holds
    qint64 first = 300;   // the row sorted first
    bool saved = false;   // the editor saved, and said so
};

void PrintTo(const Change& change, std::ostream* os)
{
    *os << change.name;
}
} // namespace

class ListPlace : public HouseholdTest, public ::testing::WithParamInterface<Change> {
protected:
    // 300 rows, row i withdrawing $i; sorted by withdrawal, descending (row 300 first);
    // rows 7 and 250 ticked, row 150 at the top of the view, row 148 current below it.
    void SetUp() override
    {
        HouseholdTest::SetUp();
        for (int i = 1; i <= 300; ++i)
            add(QStringLiteral("row %1").arg(i, 3, 10, QChar(u'0')), QString::number(i));
        start();
        form.show();
        form.ListView1_ColumnClick(Withdrawal + 1);
        form.ListView1_ColumnClick(Withdrawal + 1);
        rows().setData(rows().index(rows().viewRowOfId(7), 0), Qt::Checked, Qt::CheckStateRole);
        rows().setData(rows().index(rows().viewRowOfId(250), 0), Qt::Checked, Qt::CheckStateRole);
        list().setCurrentRow(rows().viewRowOfId(148));
        list().scrollTo(rows().index(rows().viewRowOfId(150), 0), QAbstractItemView::PositionAtTop);
        ASSERT_EQ(rows().idAt(list().rowAt(0)), 150);
        list().setFocus();
    }

    TransactionList& list() { return *form.ListView1; }
    TransactionListModel& rows() { return form.ListView1->items(); }

public:
    // The next editor: `fill` types into it, then OK (and the saved message's OK), or
    // Cancel (as Escape does) when there is nothing to fill.
    void inEditor(std::function<void(editor::Form2&)> fill)
    {
        whenModal([this, fill](QWidget* w) {
            auto* editor = qobject_cast<editor::Form2*>(w);
            ASSERT_NE(editor, nullptr);
            editedId = editor->m_ID;
            if (!fill) {
                editor->reject();
                return;
            }
            fill(*editor);
            dialogs.answerMessage(platform::vbOK);   // "Record Successfully Saved"
            editor->PushButton2_Click();
        });
    }
    // A key in the list, as the user presses it: the window active (the offscreen
    // platform leaves activating it again after a modal window to the test).
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        form.activateWindow();
        QApplication::setActiveWindow(&form);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        form.ListView1->setFocus();
        QTest::keyClick(form.ListView1, Qt::Key(key), modifiers);
    }
    QString editedId;
};

TEST_P(ListPlace, KeepsTheSortTicksAndScrollAndMakesTheChangedRowCurrent)
{
    GetParam().act(*this);

    EXPECT_EQ(rows().totalCount(), GetParam().rows);
    EXPECT_TRUE(list().sorted());
    EXPECT_EQ(rows().idAt(0), GetParam().first);   // still by withdrawal, descending
    EXPECT_EQ(rows().idAt(list().currentRow()), GetParam().current);
    EXPECT_EQ(rows().checkedIds(), (QSet<qint64>{7, 250}));
    // The scroll stays, unless the changed row lies outside it.
    const QRect shown = list().viewport()->rect();
    EXPECT_TRUE(shown.intersects(list().visualRect(list().currentIndex())));
    if (GetParam().first == 300) {
        EXPECT_EQ(rows().idAt(list().rowAt(0)), 150);
    }

    // The next Enter edits the row the user sees as current.
    inEditor({});
    key(Qt::Key_Return);
    EXPECT_EQ(editedId, QString::number(GetParam().current));
    EXPECT_EQ(dialogs.messages(), GetParam().saved ? QStringList{"Record Successfully Saved"} : QStringList());
}

INSTANTIATE_TEST_SUITE_P(
    OwnChanges, ListPlace,
    ::testing::Values(
        Change{"EditCancelled", [](ListPlace& t) { t.inEditor({}); t.key(Qt::Key_Return); }, 148, 300},
        Change{"EditSaved",
               [](ListPlace& t) {
                   t.inEditor([](editor::Form2& editor) { editor.Text1->setText(QStringLiteral("mended")); });
                   t.key(Qt::Key_Return);
               },
               148, 300, 300, true},
        // The new row's amount sorts it first; the list follows it there.
        Change{"AddedOnTopOfTheSort",
               [](ListPlace& t) {
                   t.inEditor([](editor::Form2& editor) {
                       editor.Combo1->setCurrentIndex(0);
                       editor.Text1->setText(QStringLiteral("new"));
                       editor.Text2->setText(QStringLiteral("500"));
                   });
                   t.key(Qt::Key_N, Qt::ControlModifier);
               },
               301, 301, 301, true},
        Change{"Duplicated", [](ListPlace& t) { t.key(Qt::Key_D, Qt::ControlModifier); }, 301, 301},
        // The row that took its place: the next one down the sort.
        Change{"Deleted", [](ListPlace& t) { t.key(Qt::Key_Delete); }, 147, 299},
        Change{"EditUndone",
               [](ListPlace& t) {
                   t.inEditor([](editor::Form2& editor) { editor.Text1->setText(QStringLiteral("mended")); });
                   t.key(Qt::Key_Return);
                   t.key(Qt::Key_Z, Qt::ControlModifier);
               },
               148, 300, 300, true},
        // The row the undo brought back is current again.
        Change{"DeleteUndone",
               [](ListPlace& t) {
                   t.key(Qt::Key_Delete);
                   t.key(Qt::Key_Z, Qt::ControlModifier);
               },
               148, 300},
        Change{"DeleteUndoneAndRedone",
               [](ListPlace& t) {
                   t.key(Qt::Key_Delete);
                   t.key(Qt::Key_Z, Qt::ControlModifier);
                   t.key(Qt::Key_Y, Qt::ControlModifier);
               },
               147, 299}),
    [](const ::testing::TestParamInfo<Change>& info) { return std::string(info.param.name); });
