// SPDX-License-Identifier: GPL-3.0-or-later
// Saving as the person meets it, without root: when administrator rights are asked, a helper that
// stays silent, and each failure in the person's words.
#include "pkexec_rights.h"
#include "support.h"

namespace {

const QByteArray New = "127.0.0.1 ads.example ##\r\n";

// What the double of the administrator's rights was asked, and answers.
struct RecordedRights : Rights {
    Outcome outcome = Outcome::Answered;
    QStringList asked;
    Result write(const QString& path, const QByteArray&) override
    {
        return asked << path, Result{outcome, {}};
    }
};

struct Asking {
    FileError refusal;                                   // the person's own save's
    bool asRoot = false;                                 // whether the person is root
    Rights::Outcome outcome = Rights::Outcome::Answered; // the rights', if asked
    bool asked = false;                                  // whether rights were asked for the file
    std::optional<FileError> told;                       // what the person reads, if anything
};

} // namespace

class TestSaving : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    // Only a plain refusal of the person's own save asks for rights, and the person is told what
    // came of it.
    void rightsAreAsked_data()
    {
        QTest::addColumn<Asking>("a");
        using R = FileError::Reason;
        const FileError::Operation write = FileError::Operation::Write;
        const FileError denied{"/h", write, R::System, EACCES},
            missing{"/h", write, R::System, ENOENT}, foreign{"/h", write, R::ForeignLink, EACCES},
            changed{"/h", write, R::System, EACCES, FileError::FileState::MaybeIncomplete};
        QTest::newRow("no access, rights given") << Asking{.refusal = denied, .asked = true};
        QTest::newRow("not allowed, rights not given")
            << Asking{.refusal = {"/h", write, R::System, EPERM},
                      .outcome = Rights::Outcome::NotGiven,
                      .asked = true,
                      .told = FileError{"/h", write, R::System, EPERM, {}, 0, 0, true}};
        QTest::newRow("no access, no answer") << Asking{
            .refusal = denied,
            .outcome = Rights::Outcome::NoAnswer,
            .asked = true,
            .told = FileError{"/h", write, R::NoAnswer, 0, FileError::FileState::OldOrNew}};
        QTest::newRow("no such folder: not asked") << Asking{.refusal = missing, .told = missing};
        QTest::newRow("another user's link: not asked")
            << Asking{.refusal = foreign, .told = foreign};
        QTest::newRow("the file changed: not asked") << Asking{.refusal = changed, .told = changed};
        QTest::newRow("as root: not asked")
            << Asking{.refusal = denied, .asRoot = true, .told = denied};
    }

    void rightsAreAsked()
    {
        QFETCH(Asking, a);
        RecordedRights rights;
        rights.outcome = a.outcome;
        Saver saver(
            &rights, [&](const QString&, const QByteArray&) { return std::optional(a.refusal); },
            a.asRoot);
        QSignalSpy waiting(&saver, &Saver::waiting);
        const std::optional<FileError> error = saver.save("/h", New);
        QCOMPARE(error ? error->message() : QString(), a.told ? a.told->message() : QString());
        QCOMPARE(rights.asked, a.asked ? QStringList{"/h"} : QStringList());
        // The window waits while rights are asked, and only then.
        QCOMPARE(waiting.size(), a.asked ? 2 : 0);
    }

    // The person's own save follows "." and ".." in a path as the system would.
    void dotsInAPathLeadWhereTheSystemSays()
    {
        QVERIFY(QDir(m_dir.path()).mkpath("dots/sub"));
        QVERIFY(!Saver::writeAsOwner(m_dir.filePath("dots/sub/../up"), New));
        QVERIFY(!Saver::writeAsOwner(m_dir.filePath("dots/sub/./here"), New));
        QCOMPARE(readBytes(m_dir.filePath("dots/up")) + readBytes(m_dir.filePath("dots/sub/here")),
                 New + New);
    }

    // A helper that never greets counts as rights not given, and is let go, not waited on again.
    void aSilentHelperIsGivenUp()
    {
        PkexecRights silent({"sh", "-c", "cat >/dev/null"}, 300, 300);
        QCOMPARE(silent.write(m_dir.filePath("hosts"), New).outcome, Rights::Outcome::NotGiven);
        QCOMPARE(silent.write(m_dir.filePath("hosts"), New).outcome, Rights::Outcome::NotGiven);
        QCOMPARE(silent.launches(), 2);
    }

    // Each failure in the person's words: the file, what failed, why, and what the file holds now.
    void messages_data()
    {
        QTest::addColumn<FileError>("error");
        QTest::addColumn<QString>("message");
        using R = FileError::Reason;
        const FileError::Operation read = FileError::Operation::Read,
                                   write = FileError::Operation::Write;
        QTest::newRow("read") << FileError{"/h", read, R::System, ENOENT}
                              << "Не удалось прочитать файл «/h»: нет такого файла или папки.";
        QTest::newRow("not regular") << FileError{"/h", read, R::NotRegularFile}
                                     << "Не удалось прочитать файл «/h»: это не обычный файл.";
        QTest::newRow("too many")
            << FileError{"/h", read, R::TooManyEntries, 0, {}, 32767}
            << "Файл «/h» не открыт: список вмещает не больше 32767 записей, а с этим файлом их "
               "стало бы больше. Из файла ничего не добавлено.";
        QTest::newRow("too large") << FileError{"/h", read, R::TooLarge, 0, {}, 0, 128}
                                   << "Файл «/h» не открыт: он больше 128 МиБ, это не похоже на "
                                      "файл hosts. Из файла ничего не добавлено.";
        QTest::newRow("unchanged")
            << FileError{"/h", write, R::System, ENOSPC}
            << "Не удалось сохранить файл «/h»: на диске нет места. Файл остался прежним.";
        QTest::newRow("incomplete")
            << FileError{"/h", write, R::System, EIO, FileError::FileState::MaybeIncomplete}
            << "Не удалось сохранить файл «/h»: ошибка ввода-вывода. Файл мог остаться записанным "
               "не полностью.";
        QTest::newRow("not durable")
            << FileError{"/h", write, R::System, EIO, FileError::FileState::WrittenNotDurable}
            << "Файл «/h» записан, но система не подтвердила, что он сохранён на диске: ошибка "
               "ввода-вывода.";
        QTest::newRow("other errno") << FileError{"/h", write, R::System, EXFULL}
                                     << "Не удалось сохранить файл «/h»: системная ошибка 54 "
                                        "(Exchange full). Файл остался прежним.";
    }

    void messages()
    {
        QFETCH(FileError, error);
        QFETCH(QString, message);
        QCOMPARE(error.message(), message);
    }
};

QTEST_GUILESS_MAIN(TestSaving)
#include "test_saving.moc"
