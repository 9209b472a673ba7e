// SPDX-License-Identifier: GPL-3.0-or-later
// On disk, at its own pace: any bytes as a hosts file, loaded into a list that holds an entry
// already, save for real as their canonical form (CR LF, case-folded order) and load back the same;
// as the helper's input they parse only to what encodes back to them.
#include "fuzz_support.h"
#include "save_protocol.h"

using namespace zarvello::fuzz;

static void checkProtocol(const QByteArray& bytes)
{
    const protocol::Parsed parsed = protocol::parseRequest(bytes);
    if (parsed.status == protocol::Parsed::Status::Complete)
        check(protocol::encodeRequest(parsed.request.number, parsed.request.path,
                                      parsed.request.content, parsed.request.expected)
                  == bytes.first(parsed.consumed),
              "a request that does not encode back to its bytes");
    std::optional<FileError> answer;
    Fingerprint written;
    const QByteArray line = bytes.first(std::max<qsizetype>(bytes.indexOf('\n'), 0));
    const quint64 number = line.first(std::max<qsizetype>(line.indexOf(' '), 0)).toULongLong();
    if (protocol::decodeAnswer(line, number, {}, answer, written))
        check(protocol::encodeAnswer(number, answer, written) == line + '\n',
              "an answer that does not encode back");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkProtocol(bytes);
    // The bytes as another program left the file, opened into a list with an entry of its own.
    static const QTemporaryDir folder("/dev/shm/zarvello-fuzz-XXXXXX");
    const QString file = folder.filePath("hosts");
    writeBytes(file, bytes);
    EditorState state;
    state.hostList().AddItem("127.0.0.1 listed ##");
    if (LoadHostsFile(state, file))
        return 0; // more lines than the list holds
    ScriptedDialogs dialogs;
    Saver saver;
    state.setCurrentPath(file);
    check(!SaveHostsFile(state, saver, dialogs), "saving");
    const QList<QByteArray> expected =
        referenceOrder(referenceLines(bytes) << "127.0.0.1 listed ##");
    check(readBytes(file) == expected.join("\r\n") + "\r\n", "saved otherwise"); // each line, CR LF
    check(readHostsFile(file, HostList::MaxCount).lines == expected
              && state.hostList().lines() == expected,
          "loaded back otherwise, or the list changed by saving");
    return 0;
}
