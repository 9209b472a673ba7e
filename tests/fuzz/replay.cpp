// SPDX-License-Identifier: GPL-3.0-or-later
// The fuzzer's checks over every file of its corpus, so that what fuzzing once found stays found.
#include "../support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int, char* argv[])
{
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const QStringList names = folder.entryList(QDir::Files);
    for (const QString& name : names) {
        const QByteArray bytes = readBytes(folder.filePath(name));
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()),
                               size_t(bytes.size()));
    }
    // And short inputs of a seeded generator, which every run gives alike.
    QRandomGenerator random(7);
    for (int i = 0; i < 20000; ++i) {
        QByteArray bytes(qsizetype(random.bounded(40)), Qt::Uninitialized);
        for (char& byte : bytes)
            byte = char(random.bounded(256));
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()),
                               size_t(bytes.size()));
    }
    std::printf("%lld inputs replayed, and 20000 generated\n", qlonglong(names.size()));
    return names.isEmpty();
}
