#include "TestSupport.h"

#include "engine/undo/CopyPacker.h"
#include "engine/fs/FileSystem.h"
#include "engine/page/MetaBlock.h"
#include "engine/page/PageReader.h"
#include "engine/page/PageSplicer.h"
#include "engine/undo/UndoStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <lz4frame.h>
#include <zlib.h>

#include <cerrno>

using namespace tagsmith;

namespace {

// A page long enough for several blocks of the reader, and not all alike.
std::string pageBytes()
{
    std::string page = "<html><head><title>Caf\xe9</title></head><body>";
    for (int i = 0; i < 20000; ++i)
        page += "harbour " + std::to_string(i * 7919 % 1000) + ' ';
    return page + "</body></html>";
}

std::string lz4Frame(const std::string &bytes)
{
    std::string frame(LZ4F_compressFrameBound(bytes.size(), nullptr), '\0');
    frame.resize(LZ4F_compressFrame(frame.data(), frame.size(), bytes.data(), bytes.size(), nullptr));
    return frame;
}

// The frame the run packs: whole, or from pieces as a page read in blocks gives them.
std::string packedFrame(const std::string &bytes, std::size_t piece)
{
    CopyPacker packer;
    std::vector<char> out;
    if (piece == 0) {
        packer.pack(bytes, out);
    } else {
        packer.begin(out);
        for (std::size_t at = 0; at < bytes.size(); at += piece)
            packer.add(std::string_view(bytes).substr(at, piece), out);
        packer.end(out);
    }
    return std::string(out.begin(), out.end());
}

std::string zlibStream(const std::string &bytes)
{
    uLongf size = compressBound(bytes.size());
    std::string stream(size, '\0');
    compress2(reinterpret_cast<Bytef *>(stream.data()), &size, reinterpret_cast<const Bytef *>(bytes.data()),
              bytes.size(), 1);
    stream.resize(size);
    return stream;
}

} // namespace

// A copy is read back from the pack of the run (an LZ4 frame after the copies before it) or from a
// zlib file of an earlier version; a copy that is cut short or of another size is damaged.
class tst_UndoCopies : public QObject
{
    Q_OBJECT
private slots:
    void expand_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kept");       // bytes of the compressed copy in the file, -1 for all
        QTest::addColumn<int>("sizeChange"); // of the size the journal gives
        QTest::addColumn<int>("error");
        QTest::newRow("lz4 frame in the pack") << QStringLiteral("copies.lz4") << -1 << 0 << 0;
        QTest::newRow("packed whole") << QStringLiteral("whole.lz4") << -1 << 0 << 0;
        QTest::newRow("packed in pieces") << QStringLiteral("pieces.lz4") << -1 << 0 << 0;
        QTest::newRow("packed whole, cut short") << QStringLiteral("whole.lz4") << 600 << 0 << EBADMSG;
        QTest::newRow("zlib copy") << QStringLiteral("page.z") << -1 << 0 << 0;
        QTest::newRow("lz4 cut short") << QStringLiteral("copies.lz4") << 600 << 0 << EBADMSG;
        QTest::newRow("zlib cut short") << QStringLiteral("page.z") << 600 << 0 << EBADMSG;
        QTest::newRow("lz4 of another size") << QStringLiteral("copies.lz4") << -1 << 1 << EBADMSG;
        QTest::newRow("zlib of another size") << QStringLiteral("page.z") << -1 << -1 << EBADMSG;
    }
    void expand()
    {
        QFETCH(QString, name);
        QFETCH(int, kept);
        QFETCH(int, sizeChange);
        QFETCH(int, error);
        QTemporaryDir dir;
        const std::string path = fs::native(dir.filePath(name));
        const std::string page = pageBytes();
        const bool lz4 = name.endsWith(QLatin1String(".lz4"));
        // In the pack, the copy follows another page's.
        const std::string before = lz4 ? lz4Frame("<p>an earlier page</p>") : std::string();
        std::string copy = name == QLatin1String("whole.lz4")    ? packedFrame(page, 0)
                           : name == QLatin1String("pieces.lz4") ? packedFrame(page, 70001)
                           : lz4                                 ? lz4Frame(page)
                                                                 : zlibStream(page);
        if (kept >= 0)
            copy.resize(static_cast<std::size_t>(kept));
        QVERIFY(test::writeFile(dir.filePath(name), QByteArray::fromStdString(before + copy)));

        std::string expanded;
        StringSink sink(expanded);
        QCOMPARE(expandCopy(path, static_cast<std::int64_t>(before.size()),
                            static_cast<std::int64_t>(page.size()) + sizeChange, sink),
                 error);
        if (error == 0)
            QVERIFY(expanded == page);
        std::string nothing;
        StringSink none(nothing);
        QCOMPARE(expandCopy(path + ".gone", 0, 1, none), ENOENT);
    }
};

QTEST_APPLESS_MAIN(tst_UndoCopies)
#include "tst_UndoCopies.moc"
