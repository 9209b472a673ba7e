// SPDX-License-Identifier: GPL-3.0-or-later
// Saving as the person meets it, without root: when administrator rights are asked, a helper that
// stays silent, and each failure in the person's words.
#include "administrator_rights.h"
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

} // namespace

class TestSaving : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    // Only a plain refusal of the person's own save asks for rights, and the person is told what
    // came of it.
    void rightsAreAsked_data()
    {
        QTest::addColumn<FileError>("refusal");
        QTest::addColumn<bool>("asRoot");
        QTest::addColumn<Rights::Outcome>("outcome");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<QString>("message"); // what the person reads; empty for a save done
        using R = FileError::Reason;
        using O = Rights::Outcome;
        const auto row = [](const char* name, const FileError& refusal, bool asRoot, O outcome,
                            bool asked, const std::optional<FileError>& told) {
            QTest::newRow(name) << refusal << asRoot << outcome << asked
                                << (told ? told->message() : QString());
        };
        const FileError::Operation write = FileError::Operation::Write;
        const FileError denied{"/h", write, R::System, EACCES},
            notAllowed{"/h", write, R::System, EPERM}, missing{"/h", write, R::System, ENOENT};
        const FileError foreign{"/h", write, R::ForeignLink, EACCES},
            changed{"/h", write, R::System, EACCES, FileError::FileState::MaybeIncomplete};
        row("no access, rights given", denied, false, O::Answered, true, std::nullopt);
        row("not allowed, rights not given", notAllowed, false, O::NotGiven, true,
            FileError{"/h", write, R::System, EPERM, {}, 0, 0, true});
        row("no access, no answer", denied, false, O::NoAnswer, true,
            FileError{"/h", write, R::NoAnswer, 0, FileError::FileState::OldOrNew});
        row("no such folder: not asked", missing, false, O::Answered, false, missing);
        row("another user's link: not asked", foreign, false, O::Answered, false, foreign);
        row("the file changed: not asked", changed, false, O::Answered, false, changed);
        row("as root: not asked", denied, true, O::Answered, false, denied);
    }

    void rightsAreAsked()
    {
        QFETCH(FileError, refusal);
        QFETCH(bool, asRoot);
        QFETCH(Rights::Outcome, outcome);
        QFETCH(bool, asked);
        QFETCH(QString, message);
        RecordedRights rights;
        rights.outcome = outcome;
        Saver saver(
            &rights, [&](const QString&, const QByteArray&) { return std::optional(refusal); },
            asRoot);
        QSignalSpy waiting(&saver, &Saver::waiting);
        const std::optional<FileError> error = saver.save("/h", New);
        QCOMPARE(error ? error->message() : QString(), message);
        QCOMPARE(rights.asked, asked ? QStringList{"/h"} : QStringList());
        QCOMPARE(waiting.size(),
                 asked ? 2 : 0); // the window waits while rights are asked, and only then
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
        QTest::newRow("a folder others may write")
            << FileError{"/h", write, R::UnsafeFolder, EACCES}
            << "Не удалось сохранить файл «/h»: в папку на пути к нему может писать не только "
               "администратор, а с его правами программа пишет только туда, где решает он один. "
               "Файл остался прежним.";
        QTest::newRow("a link not root's")
            << FileError{"/h", write, R::UnsafeLink, EACCES}
            << "Не удалось сохранить файл «/h»: путь идёт через символическую ссылку, которая "
               "принадлежит не администратору. Файл остался прежним.";
        QTest::newRow("several names")
            << FileError{"/h", write, R::SeveralNames, EACCES}
            << "Не удалось сохранить файл «/h»: у файла несколько имён (жёстких ссылок), а с "
               "правами администратора программа пишет только файлы с одним именем. Файл остался "
               "прежним.";
        QTest::newRow("replaced meanwhile") << FileError{"/h", write, R::System, ESTALE}
                                            << "Не удалось сохранить файл «/h»: файл подменили во "
                                               "время сохранения. Файл остался прежним.";
        QTest::newRow("copy left")
            << FileError{"/h", write, R::CopyLeft, EIO, FileError::FileState::Saved}
            << "Файл «/h» сохранён, но его временную копию рядом с ним (имя начинается на "
               "«.zarvello-») удалить не удалось: ошибка ввода-вывода.";
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
