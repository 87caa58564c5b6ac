// The one runner every window's modal dialogs go through, and the button row
// those dialogs share.
#include "app/modal.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace qb;

namespace {

QPushButton* ButtonCaptioned(QDialogButtonBox* box, const QString& caption) {
    for (QAbstractButton* b : box->buttons())
        if (b->text() == caption)
            return qobject_cast<QPushButton*>(b);
    return nullptr;
}

TEST(ModalTest, ScriptsNestAndUnansweredDialogsAreCancelledWithoutAScreen) {
    QDialog dialog;
    dialog.setResult(QDialog::Accepted);
    // No screen to answer on: cancelled instead of waiting.
    EXPECT_EQ(RunModal(dialog), int(QDialog::Rejected));
    EXPECT_EQ(dialog.result(), int(QDialog::Rejected));

    QStringList seen;
    ModalScript outer([&](QDialog&) {
        seen << "outer";
        return int(QDialog::Accepted);
    });
    {
        ModalScript inner([&](QDialog&) {
            seen << "inner";
            return int(QDialog::Rejected);
        });
        EXPECT_EQ(RunModal(dialog), int(QDialog::Rejected));
        EXPECT_EQ(inner.dialogsShown, 1);
    }
    EXPECT_EQ(RunModal(dialog), int(QDialog::Accepted));
    EXPECT_EQ(dialog.result(), int(QDialog::Accepted)) << "the script's answer is the result";
    EXPECT_EQ(seen, (QStringList{"inner", "outer"}));
    EXPECT_EQ(outer.dialogsShown, 1);
}

TEST(ModalTest, ButtonRowAcceptsRejectsAndOffersHelpOnlyWhenGiven) {
    struct Case {
        const char* caption;
        int result;
    };
    for (const Case& c : {Case{"Ok", QDialog::Accepted}, Case{"Cancel", QDialog::Rejected}}) {
        QDialog dialog;
        dialog.setResult(-1);
        QDialogButtonBox* box = DialogButtons(dialog);
        EXPECT_EQ(box->parent(), &dialog);
        EXPECT_EQ(box->buttons().size(), 2);
        EXPECT_EQ(ButtonCaptioned(box, "Help"), nullptr);
        ASSERT_NE(ButtonCaptioned(box, "Ok"), nullptr);
        EXPECT_TRUE(ButtonCaptioned(box, "Ok")->isDefault());
        QPushButton* b = ButtonCaptioned(box, QString::fromLatin1(c.caption));
        ASSERT_NE(b, nullptr) << c.caption;
        b->click();
        EXPECT_EQ(dialog.result(), c.result) << c.caption;
    }

    QDialog dialog;
    int helped = 0;
    QDialogButtonBox* box = DialogButtons(dialog, [&] { ++helped; });
    QPushButton* help = ButtonCaptioned(box, "Help");
    ASSERT_NE(help, nullptr);
    dialog.setResult(-1);
    help->click();
    EXPECT_EQ(helped, 1);
    EXPECT_EQ(dialog.result(), -1) << "Help neither accepts nor rejects";
}

} // namespace
