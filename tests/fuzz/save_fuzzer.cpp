// SPDX-License-Identifier: GPL-3.0-or-later
// On disk, at its own pace: any bytes as a hosts file, loaded into a list that holds an entry
// already, save for real as their canonical form (CR LF, case-folded order) and load back the same;
// as the helper's input they parse only to what encodes back to them.
#include "editor_state.h"
#include "fuzz_support.h"
#include "save_protocol.h"

#include <QFile>

#include <cstdlib>

using namespace zarvello;
using namespace zarvello::fuzz;

namespace {

void checkProtocol(QByteArrayView bytes)
{
    const protocol::Parsed parsed = protocol::parseRequest(bytes);
    if (parsed.status == protocol::Parsed::Status::Complete)
        check(protocol::encodeRequest(parsed.request.number, parsed.request.path,
                                      parsed.request.content)
                  == bytes.first(parsed.consumed),
              "a request that does not encode back to its bytes");
    std::optional<FileError> answer;
    const QByteArrayView line = bytes.first(std::max<qsizetype>(bytes.indexOf('\n'), 0));
    const quint64 number = line.first(std::max<qsizetype>(line.indexOf(' '), 0)).toULongLong();
    if (protocol::decodeAnswer(line, number, {}, answer))
        check(protocol::encodeAnswer(number, answer) == line.toByteArray() + '\n',
              "an answer that does not encode back");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkProtocol(bytes);
    static const QString file = [] {
        char folder[] = "/dev/shm/zarvello-fuzz-XXXXXX";
        check(::mkdtemp(folder) != nullptr, "mkdtemp");
        return QString::fromLatin1(folder) + "/hosts";
    }();
    // The bytes as another program left the file, opened into a list with an entry of its own.
    QFile written(file);
    check(written.open(QIODevice::WriteOnly | QIODevice::Truncate)
              && written.write(bytes.data(), bytes.size()) == bytes.size(),
          "writing the file");
    written.close();
    EditorState state;
    state.hostList().AddItem("127.0.0.1 listed ##");
    if (LoadHostsFile(state, file))
        return 0; // more lines than the list holds
    Silent silent;
    Saver saver;
    state.setCurrentPath(file);
    check(!SaveHostsFile(state, saver, silent), "saving");
    const QList<QByteArray> expected =
        referenceOrder(referenceLines(bytes.toByteArray()) << "127.0.0.1 listed ##");
    QByteArray plain; // each line and CR LF, as plainly as it can be said
    for (const QByteArray& line : expected)
        plain += line + "\r\n";
    QFile saved(file);
    check(saved.open(QIODevice::ReadOnly) && saved.readAll() == plain, "saved otherwise");
    check(readHostsFile(file, HostList::MaxCount).lines == expected, "loaded back otherwise");
    return 0;
}
