// The vxbt tool as its users run it: an executable with standard input,
// output and an exit status.

#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Outcome vxbt(const QStringList& args, const QByteArray& input = {}) {
    QProcess process;
    process.start(QStringLiteral(VXBT_EXECUTABLE), args);
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "vxbt crashed";
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

TEST(VxbtFrame, WritesTheFramesOfOneMessage) {
    const Outcome run = vxbt({"frame", "--restart"}, "abc");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, QByteArray::fromHex("0200080900616263D7A70D"));
    EXPECT_EQ(vxbt({"frame", "--seq=1"}, "abc").out, QByteArray::fromHex("02000808016162630B420D"));
}

TEST(VxbtFrame, FragmentsThatDecodeBackToTheMessage) {
    QByteArray message;
    for (int i = 0; i < 1000; ++i) {
        message += static_cast<char>(i % 256);
    }
    const Outcome framed = vxbt({"frame", "--seq", "250", "--max-payload", "300"}, message);
    ASSERT_EQ(framed.exitCode, 0);
    EXPECT_EQ(framed.out.size(), 1000 + 4 * 8);
    const Outcome decoded = vxbt({"decode"}, framed.out);
    EXPECT_EQ(decoded.exitCode, 0);
    EXPECT_TRUE(decoded.out.contains("message 1 (1000 bytes)")) << decoded.out.toStdString();
    EXPECT_TRUE(decoded.out.contains("4 frames accepted")) << decoded.out.toStdString();
}

TEST(VxbtDecode, ShowsEachOutcomeWithItsReplyAndASummary) {
    QByteArray corrupted = QByteArray::fromHex("02000808016162630B420D");
    corrupted[5] = 'A';
    const QByteArray input = QByteArray::fromHex("0200080900616263D7A70D") + "xyz" + corrupted +
                             QByteArray::fromHex("02000808016162630B420D") +
                             QByteArray::fromHex("02000808016162630B420D");
    const Outcome run = vxbt({"decode"}, input);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "bytes 0-10: frame accepted -> ACK\n"
                       "bytes 11-13: ---> Error in frame packing -> no reply (3 bytes)\n"
                       "bytes 14-24: ---> Error in CRC -> NAK\n"
                       "bytes 25-35: frame accepted -> ACK\n"
                       "bytes 36-46: ---> Duplicated fragment -> ACK\n"
                       "message 1 (3 bytes): \"abc\"  61 62 63\n"
                       "message 2 (3 bytes): \"abc\"  61 62 63\n"
                       "summary: 47 bytes, 2 frames accepted, 3 x \"---> Error in frame "
                       "packing\", 1 x \"---> Error in CRC\", 1 x \"---> Duplicated fragment\", "
                       "2 messages\n");
}

TEST(VxbtDecode, TheQueueBoundAndMessageTextAreVisible) {
    QByteArray input;
    for (int i = 0; i < 3; ++i) {
        input += vxbt({"frame", "--seq", QString::number(i)}, QByteArray("\x00\r\x80\"", 4)).out;
    }
    const Outcome run = vxbt({"decode", "--max-queued", "2"}, input);
    EXPECT_TRUE(run.out.contains("bytes 24-35: ---> Not enough memory -> NAK"))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("message 1 (4 bytes): \"\\x00\\r\xE2\x82\xAC\\\"\"  00 0d 80 22"))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(", 2 messages\n"));
}

TEST(VxbtKeys, WritesTheKeystrokeStringAsUtf8) {
    const Outcome run = vxbt({"keys", "--mode", "1"}, QByteArray("AB\x83{x}\x9B\x9A"
                                                                 "c",
                                                                 9));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "AB{ENTER}{{}x{}}\xE2\x82\xAC^c");
    EXPECT_EQ(vxbt({"keys"}, QByteArray("\x83", 1)).out, "\xC6\x92");
    EXPECT_EQ(vxbt({"keys", "--mode=-1"}, QByteArray("\x83", 1)).out, "\xC6\x92");
    EXPECT_EQ(vxbt({"keys"}).out, "");
}

TEST(Vxbt, BadInputGetsAClearMessageAndANonZeroExit) {
    const std::vector<std::pair<QStringList, const char*>> cases{
        {{}, "Usage: vxbt"},
        {{"nonsense"}, "unknown command \"nonsense\""},
        {{"frame", "--seq", "256"}, "--seq must be a whole number from 0 to 255"},
        {{"frame", "--seq"}, "--seq needs a value"},
        {{"frame", "--max-payload", "0"}, "--max-payload must be a whole number from 1 to 322"},
        {{"frame", "--max-payload", "323"}, "--max-payload must be"},
        {{"frame", "--restart=1"}, "--restart takes no value"},
        {{"frame", "extra"}, "unexpected argument \"extra\""},
        {{"decode", "--max-length", "4097"}, "--max-length must be a whole number from 1 to 4096"},
        {{"decode", "--max-queued", "-1"}, "--max-queued must be"},
        {{"keys", "--mode", "2147483648"}, "--mode must be"},
        {{"keys", "--bogus"}, "unknown option \"--bogus\""},
        {{"send"}, "--port DEVICE is required"},
        {{"send", "--port", "/dev/null", "--baud", "12345"}, "not a supported speed"},
    };
    for (const auto& [args, message] : cases) {
        const Outcome run = vxbt(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(message))
            << args.join(' ').toStdString() << ": " << run.err.toStdString();
    }
    const Outcome tooLong = vxbt({"frame"}, QByteArray(4097, 'x'));
    EXPECT_EQ(tooLong.exitCode, 2);
    EXPECT_TRUE(tooLong.err.contains("at most 4096"));
    EXPECT_TRUE(tooLong.out.isEmpty());
}

TEST(Vxbt, APortThatCannotBeOpenedFails) {
    const Outcome run = vxbt({"send", "--port", "/dev/vxorv-no-such-device"}, "x\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("cannot open /dev/vxorv-no-such-device")) << run.err.toStdString();
}

TEST(Vxbt, HelpListsEveryCommand) {
    const Outcome run = vxbt({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* command : {"frame", "decode", "keys", "send"}) {
        EXPECT_TRUE(run.out.contains(QByteArray("vxbt ") + command)) << command;
        const Outcome help = vxbt({command, "--help"});
        EXPECT_EQ(help.exitCode, 0) << command;
        EXPECT_TRUE(help.out.startsWith(QByteArray("Usage: vxbt ") + command)) << command;
    }
}

} // namespace
