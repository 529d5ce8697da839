// The history combo box's list operations, on a bare combo box.
#include "gui/history_combo_box.h"

#include "resources/string_table.h"
#include "tests/gui/qt_test_main.h"

#include <QLineEdit>

namespace klova {

class HistoryComboBoxTest : public QObject {
    Q_OBJECT

private:
    static QStringList Entries(const QComboBox& combo)
    {
        QStringList entries;
        for (int i = 0; i < combo.count(); ++i)
            entries << combo.itemText(i);
        return entries;
    }

    // The input combo as the main window prepares it, with a loaded name.
    static void PrepareFileCombo(HistoryComboBox& combo, const QString& loaded)
    {
        combo.ShowText(loaded);
        combo.AddStringResource(IDS_BROWSE_INPUT);
        combo.SetLimits(10, 1);
        combo.CommitCurrentText();
    }

private slots:
    void preparingKeepsTheLoadedNameOnTopAndAnEmptyNameSelectsNothing()
    {
        HistoryComboBox loaded;
        PrepareFileCombo(loaded, QStringLiteral("/v/a.avi"));
        QCOMPARE(Entries(loaded), (QStringList{QStringLiteral("/v/a.avi"), QStringLiteral("Browse for input file...")}));
        QCOMPARE(loaded.currentIndex(), 0);

        HistoryComboBox empty;
        PrepareFileCombo(empty, QString());
        QCOMPARE(Entries(empty), QStringList{QStringLiteral("Browse for input file...")});
        QCOMPARE(empty.currentIndex(), -1);
        QCOMPARE(empty.GetCurrentText(), QString());
    }

    void aCommandEntrysTextIsNoName()
    {
        HistoryComboBox combo;
        PrepareFileCombo(combo, QStringLiteral("/v/a.avi"));
        combo.SelectText(QStringLiteral("browse for input file..."));
        QCOMPARE(Entries(combo), (QStringList{QStringLiteral("/v/a.avi"), QStringLiteral("Browse for input file...")}));
    }

    void choicesTellCommandEntriesFromOrdinaryOnes()
    {
        HistoryComboBox combo;
        combo.AddEntry(QStringLiteral("PCM"));
        combo.AddStringResource(IDS_AUDIO_ADVANCED);
        combo.SetLimits(0, 1);
        QString text;
        combo.setCurrentIndex(1);
        QCOMPARE(combo.GetChoice(&text), 0);
        QCOMPARE(text, QString());
        combo.setCurrentIndex(0);
        QCOMPARE(combo.GetChoice(&text), -1);
        QCOMPARE(text, QStringLiteral("PCM"));
        combo.ShowText(QStringLiteral("my encoder"));  // typed: no entry
        QCOMPARE(combo.GetChoice(&text), -1);
        QCOMPARE(text, QStringLiteral("my encoder"));
    }

    void sortsByteWiseAndKeepsTheEditText()
    {
        HistoryComboBox combo;
        combo.ShowText(QStringLiteral("x264 encoder"));
        for (const char* name : {"x264 encoder", "<Uncompressed>", "Avi", "3ivx", "avi", "Zlib"})
            combo.AddEntry(QString::fromUtf8(name));
        combo.SortEntries();
        QCOMPARE(Entries(combo), (QStringList{QStringLiteral("3ivx"), QStringLiteral("<Uncompressed>"),
                                               QStringLiteral("Avi"), QStringLiteral("Zlib"), QStringLiteral("avi"),
                                               QStringLiteral("x264 encoder")}));
        QCOMPARE(combo.currentIndex(), -1);
        QCOMPARE(combo.GetCurrentText(), QStringLiteral("x264 encoder"));
    }

    void appendingKeepsWhatIsShownAndTypingNeverCompletesACommand()
    {
        HistoryComboBox combo;
        combo.ShowText(QStringLiteral("typed"));
        combo.AddEntry(QStringLiteral("first"));  // an empty list would select its first entry
        QCOMPARE(combo.currentIndex(), -1);
        QCOMPARE(combo.GetCurrentText(), QStringLiteral("typed"));

        combo.AddStringResource(IDS_BROWSE_PROFILES);
        combo.ShowText(QString());
        QTest::keyClicks(combo.lineEdit(), QStringLiteral("B"));
        QCOMPARE(combo.GetCurrentText(), QStringLiteral("B"));
        QCOMPARE(combo.count(), 2);  // typed text does not enter the list
    }

    void selectEntryShowsANameThatIsNotListed()
    {
        HistoryComboBox combo;
        combo.AddEntry(QStringLiteral("PCM"));
        combo.AddStringResource(IDS_AUDIO_ADVANCED);
        combo.SetLimits(0, 1);
        combo.SelectEntry(QStringLiteral("pcm"));
        QCOMPARE(combo.currentIndex(), 0);
        combo.SelectEntry(QStringLiteral("gone encoder"));
        QCOMPARE(combo.currentIndex(), -1);
        QCOMPARE(combo.GetCurrentText(), QStringLiteral("gone encoder"));
    }
};

}  // namespace klova

KLOVA_QTEST_MAIN(klova::HistoryComboBoxTest)
#include "history_combo_box_test.moc"
