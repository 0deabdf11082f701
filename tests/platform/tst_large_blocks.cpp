#include "platform/LargeBlocks.h"

#include <QTest>
#include <cstdlib>
#include <cstring>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

class TestLargeBlocks : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Freeing a block of many megabytes must not teach the allocator to keep the next large
    // blocks in its heaps, where what a refresh frees stays counted against the program.
    void largeBlocksStayMappingsOfTheirOwn()
    {
#if !defined(__GLIBC__) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        QSKIP("the setting is made for the GNU C library's own allocator");
#else
        // Called through a pointer the compiler cannot see through, so that it keeps every call.
        void* (*volatile allocate)(std::size_t) = std::malloc;
        ReturnLargeBlocksAtOnce();
        void* const result = allocate(16 * 1024 * 1024);
        QVERIFY(result);
        std::memset(result, 1, 16 * 1024 * 1024);
        std::free(result);

        const struct mallinfo2 before = mallinfo2();
        void* const block = allocate(256 * 1024);
        const struct mallinfo2 during = mallinfo2();
        std::free(block);
        QCOMPARE(during.hblks, before.hblks + 1);
        QCOMPARE(mallinfo2().hblks, before.hblks);
#endif
    }
};

QTEST_GUILESS_MAIN(TestLargeBlocks)
#include "tst_large_blocks.moc"
