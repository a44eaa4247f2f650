// The link test of zephra-cli on the real 8250: the host's far end echoes at 9600 bit/s, each
// 32-byte packet sent back once it has all come (out and back: 2 x 32 x 10 / 9600 s).
#include "tests/drivers/suite/CliProgram.h"
#include "tests/drivers/suite/FarEnd.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

namespace {} // namespace

TEST(UartLink, EchoAtTheLineRateLosesNothing)
{
    FarEnd::setRole("S1", "echo 960 32");
    QProcess cli;
    cli.start(cliProgram(), {"link", FarEnd::kUart, "--baud", "9600", "--count", "200", "--json"});
    ASSERT_TRUE(cli.waitForFinished(60000)) << cli.errorString().toStdString();
    const QByteArray out = cli.readAllStandardOutput();
    EXPECT_EQ(cli.exitCode(), 0) << out.toStdString() << cli.readAllStandardError().toStdString();
    const QJsonObject direction =
        QJsonDocument::fromJson(out).object()["directions"].toArray().first().toObject();
    ASSERT_FALSE(direction.isEmpty()) << out.toStdString();
    EXPECT_EQ(direction["sent"].toInt(), 200);
    EXPECT_EQ(direction["received"].toInt(), 200);
    EXPECT_EQ(direction["lost"].toInt(), 0);
    EXPECT_EQ(direction["damaged"].toInt(), 0);
    const QJsonObject latency = direction["latency_ms"].toObject();
    const double lineTime = 2 * 32 * 10 * 1000 / 9600.0;
    // The figure is printed, not bounded: an emulated guest on a busy host adds its own delays.
    std::printf("  link on COM1 (8250): %d of %d back, p50 %.1f ms (line time %.1f ms), p95 %.1f "
                "ms, max %.1f ms\n",
                direction["received"].toInt(), direction["sent"].toInt(), latency["p50"].toDouble(),
                lineTime, latency["p95"].toDouble(), latency["max"].toDouble());
    FarEnd::setRole("S1", "sink");
}
