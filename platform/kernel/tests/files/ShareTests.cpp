// Share modes among the handles of one process and across the processes of one device root.

#include "FilesTestSupport.h"

namespace {
using filestest::InChildProcess;
using filestest::Open;
using filestest::ReadWhole;
using filestest::WriteWhole;

constexpr DWORD R = GENERIC_READ;
constexpr DWORD W = GENERIC_WRITE;
constexpr DWORD SR = FILE_SHARE_READ;
constexpr DWORD SW = FILE_SHARE_WRITE;

class ShareModes : public filestest::DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        ASSERT_TRUE(WriteWhole(u"\\shared.txt", "original"));
    }
};

struct ShareCase {
    DWORD firstAccess, firstShare, secondAccess, secondShare;
    bool secondOpens;
};

TEST_F(ShareModes, ASecondOpenMustFitTheFirstOnesSharing) {
    const ShareCase cases[] = {
        {R, SR, R, SR, true},           {R, SR, W, SR | SW, false}, // the first does not share writing
        {R, SR | SW, W, SR | SW, true}, {W, 0, R, SR | SW, false},  // nothing shared
        {R, SR | SW, R, SR, true},      // the second refuses writers, and the first only reads
        {R | W, SR | SW, R, SR, false}, // the second refuses writers, but the first writes
        {R, 0, R, SR | SW, false},      // the first does not share reading
        {W, SW, W, SW, true},           {0, 0, R | W, 0, true}, // a query handle takes part in no share check
        {R | W, 0, 0, 0, true},
    };
    for (const ShareCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.firstAccess << "/" << c.firstShare << " then " << c.secondAccess
                                        << "/" << c.secondShare);
        kernel::ScopedHandle first(Open(u"\\shared.txt", c.firstAccess, c.firstShare, OPEN_EXISTING));
        ASSERT_TRUE(first.IsOpen());
        kernel::ScopedHandle second(Open(u"\\SHARED.TXT", c.secondAccess, c.secondShare, OPEN_EXISTING));
        EXPECT_EQ(second.IsOpen(), c.secondOpens);
        if (!c.secondOpens) {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
            first.Reset();
            kernel::ScopedHandle again(Open(u"\\shared.txt", c.secondAccess, c.secondShare, OPEN_EXISTING));
            EXPECT_TRUE(again.IsOpen()) << "the refusal outlived the first handle";
        }
    }
}

TEST_F(ShareModes, ARefusedReplaceLeavesTheContent) {
    kernel::ScopedHandle holder(Open(u"\\shared.txt", R, SR, OPEN_EXISTING));
    ASSERT_TRUE(holder.IsOpen());
    EXPECT_EQ(Open(u"\\shared.txt", W, SR | SW, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(Open(u"\\shared.txt", W, SR | SW, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    holder.Reset();
    EXPECT_EQ(ReadWhole(u"\\shared.txt"), "original");
}

TEST_F(ShareModes, AnOpenFileCannotBeDeletedOrMoved) {
    {
        kernel::ScopedHandle query(Open(u"\\shared.txt", 0, SR | SW, OPEN_EXISTING));
        ASSERT_TRUE(query.IsOpen());
        EXPECT_FALSE(DeleteFileW(u"\\shared.txt"));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_FALSE(MoveFileW(u"\\shared.txt", u"\\moved.txt"));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
    EXPECT_TRUE(MoveFileW(u"\\shared.txt", u"\\moved.txt"));
    EXPECT_TRUE(DeleteFileW(u"\\moved.txt"));
}

// The child's end of a conversation: it reports one byte, then waits for the parent's go.
struct Channel {
    int toParent[2];
    int toChild[2];
    Channel() {
        EXPECT_EQ(::pipe(toParent), 0);
        EXPECT_EQ(::pipe(toChild), 0);
    }
    ~Channel() {
        for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]})
            ::close(fd);
    }
    void Tell(char c) { EXPECT_EQ(::write(toParent[1], &c, 1), 1); }
    char Hear() {
        char c = 0;
        return ::read(toParent[0], &c, 1) == 1 ? c : '?';
    }
    void Go() { EXPECT_EQ(::write(toChild[1], "g", 1), 1); }
    void WaitForGo() {
        char c = 0;
        [[maybe_unused]] ssize_t n = ::read(toChild[0], &c, 1);
    }
};

TEST_F(ShareModes, AnotherProcessSeesTheSameRefusals) {
    kernel::ScopedHandle exclusive(Open(u"\\shared.txt", R | W, 0, OPEN_EXISTING));
    ASSERT_TRUE(exclusive.IsOpen());
    const int status = InChildProcess([] {
        HANDLE other = Open(u"\\shared.txt", R, SR | SW, OPEN_EXISTING);
        if (other != INVALID_HANDLE_VALUE)
            return 1;
        if (GetLastError() != ERROR_SHARING_VIOLATION)
            return 2;
        if (DeleteFileW(u"\\shared.txt") || GetLastError() != ERROR_SHARING_VIOLATION)
            return 3;
        // A query handle still works.
        HANDLE query = Open(u"\\shared.txt", 0, 0, OPEN_EXISTING);
        return query != INVALID_HANDLE_VALUE && CloseHandle(query) ? 0 : 4;
    });
    EXPECT_EQ(status, 0);
    exclusive.Reset();
    EXPECT_EQ(InChildProcess([] { return filestest::ReadWhole(u"\\shared.txt") == "original" ? 0 : 1; }), 0);
}

TEST_F(ShareModes, AChildsOpensRefuseTheParentUntilItEnds) {
    Channel channel;
    pid_t child = ::fork();
    if (child == 0) {
        // Holds the file without sharing, then ends without closing it.
        HANDLE file = Open(u"\\shared.txt", W, 0, OPEN_EXISTING);
        channel.Tell(file != INVALID_HANDLE_VALUE ? 'o' : 'x');
        channel.WaitForGo();
        ::_exit(0);
    }
    ASSERT_EQ(channel.Hear(), 'o');
    EXPECT_EQ(Open(u"\\shared.txt", R, SR | SW, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(MoveFileW(u"\\shared.txt", u"\\other.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    channel.Go();
    int status = 0;
    ::waitpid(child, &status, 0);
    kernel::ScopedHandle after(Open(u"\\shared.txt", R | W, 0, OPEN_EXISTING));
    EXPECT_TRUE(after.IsOpen()) << "the dead child's share locks were not released";
}

} // namespace
