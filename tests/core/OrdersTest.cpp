#include "NetPeers.h"
#include "RawHttpPeer.h"
#include "TestSupport.h"
#include "core/common/Error.h"
#include "core/common/Files.h"
#include "core/common/IniFile.h"
#include "core/orders/InvoiceNumbers.h"
#include "core/orders/InvoicePage.h"
#include "core/orders/OrderFile.h"
#include "core/orders/OrderRetrieval.h"
#include "core/orders/OrderService.h"
#include "core/settings/AppDirs.h"
#include "core/settings/ShopProfile.h"
#include "core/settings/UserData.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <zlib.h>

using namespace quillane;
using quillane::test::OrderServicePeer;
using quillane::test::RawHttpPeer;
using quillane::test::TempDir;

namespace {

// A reply read back as "ID{key=value,...} ..." and the refused lines.
std::string shown(const OrderReply& reply)
{
    std::string out;
    for (const ReplyOrder& order : reply.Orders) {
        out += (out.empty() ? "" : " ") + order.Id + "{";
        for (std::size_t i = 0; i < order.Values.size(); ++i) {
            out += (i > 0 ? "," : "") + order.Values[i].first + "=" + order.Values[i].second;
        }
        out += "}";
    }
    for (const std::string& line : reply.Refused) {
        out += " refused:" + line;
    }
    return out;
}

std::string ids(const std::vector<Order>& orders)
{
    std::string out;
    for (const Order& order : orders) {
        out += (out.empty() ? "" : ",") + order.Id();
    }
    return out;
}

unsigned mode(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

// The lines of an order the service always sends after the customer's:
// its item lines, then the figures.
const std::string kItems = "itemcount=1\r\nitem0=Tasse|T-1|1|5.00|5.00\r\n";
const std::string kFigures = "subtotal=5.00\r\nqdiscount=0.00\r\npdiscount=0.00\r\ntotal=5.00\r\nvat=0.95\r\n"
                             "shipping=4.90\r\nsubamount=10.85\r\npaymentfee=0.00\r\npayment=vk\r\n";

// A whole order as the service sends it.
std::string fullOrder(const std::string& id, const std::string& keys)
{
    return "[" + id + "]\r\n" + keys + kItems + kFigures;
}

std::string gzipped(const std::string& plain)
{
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY); // 16: gzip framing
    std::string out(deflateBound(&z, plain.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
    z.avail_in = static_cast<uInt>(plain.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

bool hasControlChar(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

} // namespace

TEST(OrderReply, LinesAreKeysSectionsOrNothing)
{
    struct Case {
        const char* reply;
        const char* expected;
    } cases[] = {
        // A value ends at the second "=".
        {"[A1]\r\nnotes=a=b=c\r\nzip=1\r\n", "A1{notes=a,zip=1}"},
        // "=" makes a key line even with brackets in it.
        {"[A1]\r\nitem0=Tool [large]|T-1|1|2.00|2.00\r\n", "A1{item0=Tool [large]|T-1|1|2.00|2.00}"},
        {"[20261210-104512-0007]\nk=v\n[b_2.x]\rk=w\r", "20261210-104512-0007{k=v} b_2.x{k=w}"},
        // Text before the first order: ignored; lines without "=" or brackets after it: refused.
        {"<html>\r\n<meta http-equiv=\"refresh\" content=\"0\">\r\nhello\r\n[A1]\r\nk=v\r\nstray line\r\n \r\n",
         "A1{k=v} refused:stray line"},
        // A refused section line ends the order before it: its keys land nowhere, and are refused too.
        {"[A1]\r\nk=v\r\n[a/b]\r\nx=1\r\n[..]\r\n[a..b]\r\n[a b]\r\n<p>[A1]</p>\r\ny=2\r\n[B2]\r\nk=w\r\n",
         "A1{k=v} B2{k=w} refused:[a/b] refused:x=1 refused:[..] refused:[a..b] refused:[a b] refused:<p>[A1]</p> "
         "refused:y=2"},
        // Keys that would not read back as keys.
        {"[A1]\r\n=v\r\n [x]=y\r\n k = v \r\n", "A1{k= v } refused:=v refused: [x]=y"},
        // An order sent twice is one order; a section line without keys is none.
        {"[A1]\r\nk=1\r\nl=2\r\n[B2]\r\n[a1]\r\nK=3\r\n", "A1{k=3,l=2}"},
        // The keys the program writes, in any case; a key again in the same section in any case: the first counts.
        {"[A1]\r\nPrinted=\r\nINVOICENO=RE-1\r\nlastname=Neu\r\nLASTNAME=Evil\r\n lastname =x\r\n",
         "A1{lastname=Neu} refused:Printed= refused:INVOICENO=RE-1 refused:LASTNAME=Evil refused: lastname =x"},
        // A byte order mark in front hides nothing.
        {"\xEF\xBB\xBF[A1]\r\nk=v\r\n", "A1{k=v}"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(shown(ParseOrderReply(c.reply)), c.expected) << c.reply;
    }
    EXPECT_FALSE(ParseOrderReply(" \r\n\r\n").HasText);
    EXPECT_TRUE(ParseOrderReply("<html></html>").HasText);
}

TEST(OrderReply, AReplyCutShortSaysWhere)
{
    struct Case {
        std::string reply;
        const char* cutShort;
    } cases[] = {
        {fullOrder("A1", "lastname=A\r\n") + fullOrder("B2", ""), ""},
        {fullOrder("A1", "") + " \r\n\t", ""},
        {"", ""},
        {fullOrder("A1", "") + "[B2]\r\nlastname=Kun", "its last line \"lastname=Kun\" has no line end"},
        {fullOrder("A1", "") + "[B2]\r\nlastname=Kunz\r\n" + kItems, "the order \"B2\" has no subtotal"},
        {fullOrder("A1", "") + "[B2]\r\n", "the order \"B2\" has no subtotal"},
        // Sent by the program's keys only, the figures refused: still without them.
        {"[A1]\r\nprinted=true\r\n", "the order \"A1\" has no subtotal"},
        {"[A1]\r\n" + kItems + kFigures.substr(0, kFigures.find("paymentfee")), "the order \"A1\" has no paymentfee"},
    };
    for (const Case& c : cases) {
        const std::optional<Message> cutShort = ParseOrderReply(c.reply).CutShort;
        EXPECT_EQ(cutShort ? EnglishText(*cutShort) : "", c.cutShort) << c.reply;
    }
}

TEST(OrderReply, AnOrderSentAgainKeepsWhatTheProgramWroteAndNothingIsRemoved)
{
    TempDir dir;
    dir.write("orders.dat", "[A1]\r\nlastname=Alt\r\nprinted=true\r\ninvoiceno=RE-7\r\nzip=1\r\n"
                            "[Z9]\r\nlastname=Kept\r\n");
    IniFile orders = OpenOrderFile(dir.path());
    const MergeResult result = MergeOrderReply(
        orders, ParseOrderReply("[B2]\r\nlastname=Neu\r\n[A1]\r\nlastname=Alt2\r\nPRINTED=\r\nInvoiceNo=RE-9\r\n"
                                "city=Bonn\r\n"));
    orders.UpdateFile();
    EXPECT_EQ(result.Received, 2u);
    EXPECT_EQ(result.NewIds, std::vector<std::string>{"B2"});
    // The program's own keys stay, whatever case the reply writes them in.
    EXPECT_EQ(dir.read("orders.dat"),
              "[A1]\r\nlastname=Alt2\r\nprinted=true\r\ninvoiceno=RE-7\r\nzip=1\r\ncity=Bonn\r\n"
              "[Z9]\r\nlastname=Kept\r\n[B2]\r\nlastname=Neu\r\n");
    // Nor does a reply made by hand change them.
    OrderReply byHand;
    byHand.Orders.push_back({"A1", {{"Printed", ""}, {"invoiceNO", ""}}});
    IniFile direct = OpenOrderFile(dir.path());
    MergeOrderReply(direct, byHand);
    EXPECT_EQ(direct.ReadString("A1", "printed", ""), "true");
    EXPECT_EQ(direct.ReadString("A1", "invoiceno", ""), "RE-7");

    IniFile again = OpenOrderFile(dir.path());
    again.WriteString("A1", "printed", "true");
    MergeOrderReply(again, ParseOrderReply("[A1]\r\nlastname=Alt3\r\n"));
    again.UpdateFile();
    const Order a1 = ReadOrder(dir.path(), "A1");
    EXPECT_EQ(a1.State(), OrderState::Done);
    EXPECT_EQ(a1.InvoiceNumber(), "RE-7");
    EXPECT_EQ(a1.Value("lastname"), "Alt3");
}

TEST(OrderFileTest, ListsByPrintedStateWithTheCustomerLine)
{
    TempDir dir;
    dir.write("orders.dat", "[N1]\r\nlastname=Meier\r\nfirstname=Eva\r\ndate=01.12.2026 10:00\r\n"
                            "[N2]\r\nprinted=\r\ncompany= \t\r\nlastname=Kunz\r\nfirstname=Jo\r\n"
                            "[D1]\r\nprinted=true\r\ncompany=Gartenbau GmbH\r\n"
                            "[X1]\r\nprinted=TRUE\r\n"
                            "[X2]\r\nprinted=1\r\n");
    EXPECT_EQ(ids(LoadOrders(dir.path(), OrderState::New)), "N1,N2");
    EXPECT_EQ(ids(LoadOrders(dir.path(), OrderState::Done)), "D1");
    EXPECT_EQ(ids(ReadOrders(dir.path())), "N1,N2,D1,X1,X2");

    struct Case {
        const char* id;
        const char* customer;
        const char* caption;
    } cases[] = {
        {"N1", "Meier, Eva", "[N1 | 01.12.2026 10:00]"},
        {"N2", "Kunz, Jo", "[N2 | ]"}, // a private customer: company left blank
        {"D1", "Gartenbau GmbH", "[D1 | ]"},
    };
    for (const Case& c : cases) {
        const Order order = ReadOrder(dir.path(), c.id);
        EXPECT_EQ(order.Customer(), c.customer) << c.id;
        EXPECT_EQ(order.ListCaption(), c.caption) << c.id;
    }

    TempDir empty;
    EXPECT_TRUE(ReadOrders(empty.path()).empty());
    empty.write("orders.dat", "no sections\r\n");
    EXPECT_TRUE(LoadOrders(empty.path(), OrderState::New).empty());
}

TEST(OrderFileTest, DeliveryValuesFallBackKeyByKeyAndNumbersReadWithAPoint)
{
    const Order order("A1", {{"firstname", "Eva"},
                             {"lastname", "Meier"},
                             {"la_lastname", "Kunz"},
                             {"la_street", ""},
                             {"street", "Weg 1"},
                             {"subamount", "26.75"},
                             {"paymentfee", "3,50"},
                             {"queue", "02.12.2026"}});
    EXPECT_EQ(order.DeliveryName(), "Eva Kunz");
    EXPECT_EQ(order.DeliveryValue("street"), ""); // present, though empty
    EXPECT_EQ(order.Number("paymentfee"), 0);     // not a number with "."
    EXPECT_DOUBLE_EQ(order.AmountPayable(), 26.75);
    EXPECT_EQ(QueueNotice("Am [DATE] gestellt.|Bitte pr\xFC"
                          "fen.",
                          order),
              "Am 02.12.2026 gestellt.\nBitte pr\xFC"
              "fen.");
    EXPECT_EQ(QueueNotice("Am [DATE]", Order("B", {})), "");
}

TEST(OrderFileTest, DeletingRemovesTheWholeOrderAndKeepsTheFileTheOwnersOnly)
{
    TempDir dir;
    dir.write("orders.dat", "[A1]\r\nk=1\r\n[B2]\r\nk=2\r\n");
    ::chmod(dir.file("orders.dat").c_str(), 0644);
    EXPECT_FALSE(DeleteOrder(dir.path(), "C3"));
    EXPECT_EQ(mode(dir.file("orders.dat")), 0644u); // untouched
    EXPECT_TRUE(DeleteOrder(dir.path(), "a1"));
    EXPECT_EQ(dir.read("orders.dat"), "[B2]\r\nk=2\r\n");
    EXPECT_EQ(mode(dir.file("orders.dat")), 0600u);
    EXPECT_FALSE(FindOrder(dir.path(), "A1").has_value());
    EXPECT_THROW(ReadOrder(dir.path(), "A1"), Error);
}

TEST(OrderServiceTest, TheRequestCarriesTheAccountUrlEncoded)
{
    struct Case {
        const char* base;
        const char* user;
        const char* password;
        const char* url;
    } cases[] = {
        {"http://h/", "shop", "pw", "http://h/qln/shopscripts/getorders.php4?UserID=shop&Password=pw"},
        {"http://h:81/base", "a b", "p&ss=w#1+%\xFC",
         "http://h:81/base/qln/shopscripts/getorders.php4?UserID=a+b&Password=p%26ss%3Dw%231%2B%25%FC"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OrderRequestUrl(c.base, c.user, c.password), c.url);
    }
    TempDir dir;
    EXPECT_EQ(OrderServiceAddress(dir.path()), kDefaultOrderService);
    dir.write("quillane.ini", "[Services]\r\nOrderService=\r\n");
    EXPECT_EQ(OrderServiceAddress(dir.path()), kDefaultOrderService);
    dir.write("quillane.ini", "[Services]\r\nOrderService=http://o.example/x/\r\n");
    EXPECT_EQ(OrderServiceAddress(dir.path()), "http://o.example/x/");
}

class GetOrdersTest : public ::testing::Test {
protected:
    static constexpr const char* kUser = "merchant";
    static constexpr const char* kPassword = "p&ss=w rd#1";

    void SetUp() override
    {
        dirs_ = MakeAppDirs(home_.path());
        user_.UserID = kUser;
        user_.Password = kPassword;
    }

    void serveFrom(const std::string& address)
    {
        home_.write("quillane.ini", "[Services]\r\nOrderService=" + address + "\r\n");
    }

    FetchResult fetch() { return GetOrders(dirs_, user_, http_); }

    TempDir home_;
    TAppDirs dirs_;
    TUserData user_;
    HttpClient http_;
};

TEST_F(GetOrdersTest, MergesTheReplyIntoAnOrderFileForTheOwnerOnly)
{
    OrderServicePeer peer(kUser, kPassword);
    serveFrom(peer.address());
    home_.write("orders.dat", "[A1]\r\nlastname=Alt\r\nprinted=true\r\n");
    ::chmod(home_.file("orders.dat").c_str(), 0644);
    const std::string reply =
        fullOrder("A1", "lastname=Alt\r\n") + fullOrder("B2", "lastname=J\xF6rg\r\nnotes=a=b\r\n");
    peer.setReply(reply);

    const FetchResult result = fetch();
    EXPECT_EQ(result.Received, 2u);
    EXPECT_EQ(result.NewIds, std::vector<std::string>{"B2"});
    EXPECT_EQ(result.RefusedLines, 0u);
    EXPECT_EQ(home_.read("orders.dat"), "[A1]\r\nlastname=Alt\r\nprinted=true\r\n" + kItems + kFigures +
                                            fullOrder("B2", "lastname=J\xF6rg\r\nnotes=a\r\n"));
    EXPECT_EQ(mode(home_.file("orders.dat")), 0600u);
    // The reply holds customers' addresses: it is not left behind.
    EXPECT_FALSE(FileExists(home_.file("temp/orders.tmp")));
    ASSERT_EQ(peer.requests().size(), 1u);
    EXPECT_EQ(peer.requests()[0],
              "GET /qln/shopscripts/getorders.php4?UserID=merchant&Password=p%26ss%3Dw+rd%231 HTTP/1.1");

    // Nothing sent: nothing changes, and the list is still there.
    peer.setReply("");
    EXPECT_EQ(fetch().Received, 0u);
    EXPECT_EQ(ids(ReadOrders(home_.path())), "A1,B2");
}

TEST_F(GetOrdersTest, AFailedRequestOrAReplyThatIsNoOrderListLeavesTheOrderFileAlone)
{
    OrderServicePeer peer(kUser, kPassword);
    const std::string before = "[A1]\r\nlastname=Alt\r\n";
    home_.write("orders.dat", before);

    // A port that nobody listens on: bound, never listening.
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string unreachable = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";

    struct Case {
        const char* what;
        std::string address;
        std::string password;
        std::string reply;
        bool truncated;
        const char* message;
    } cases[] = {
        {"wrong password", peer.address(), "wrong", "[B2]\r\nk=v\r\n", false, "403"},
        {"unreachable", unreachable, kPassword, "", false, "Cannot load"},
        {"error page", peer.address(), kPassword, "<html>\r\n<body>Service down [maintenance]</body>\r\n</html>\r\n",
         false, "did not answer with a list of orders; its answer begins: <html>"},
        {"broken transfer", peer.address(), kPassword, "[B2]\r\nlastname=Neu\r\n", true, "Cannot load"},
    };
    for (const Case& c : cases) {
        serveFrom(c.address);
        user_.Password = c.password;
        peer.setReply(c.reply);
        peer.setTruncated(c.truncated);
        try {
            fetch();
            ADD_FAILURE() << c.what << ": no error";
        } catch (const Error& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(c.message), std::string::npos) << c.what << ": " << message;
            EXPECT_NE(message.find("Password=***"), std::string::npos) << c.what << ": " << message;
            EXPECT_EQ(message.find(c.password == kPassword ? "p%26ss" : "wrong"), std::string::npos) << message;
        }
        EXPECT_EQ(home_.read("orders.dat"), before) << c.what;
        EXPECT_FALSE(FileExists(home_.file("temp/orders.tmp"))) << c.what;
        EXPECT_FALSE(FileExists(home_.file("temp/orders.tmp.part"))) << c.what;
    }
    ::close(socket);
}

// What the order file holds of each order: "ID:lastname/printed/invoiceno".
std::string summary(const std::string& programDir)
{
    std::string out;
    for (const Order& order : ReadOrders(programDir)) {
        out += (out.empty() ? "" : " ") + order.Id() + ":" + order.Value("lastname") + "/" + order.Value("printed") +
               "/" + order.Value("invoiceno");
    }
    return out;
}

TEST_F(GetOrdersTest, HostileRepliesChangeNothingTheyMayNot)
{
    OrderServicePeer peer(kUser, kPassword);
    const std::string before = fullOrder("A1", "lastname=Alt\r\nprinted=true\r\ninvoiceno=RE-7\r\n");
    const std::string b2 = fullOrder("B2", "lastname=Kunz\r\n");
    const std::string kept = "A1:Alt/true/RE-7";
    // Small limits, so that a test of them takes a moment only.
    const OrderFetchLimits limits{1 << 20, std::chrono::milliseconds(1500)};

    struct Case {
        const char* what;
        std::string body;  // what the order service sends
        std::string raw;   // or else the whole HTTP answer
        int dripMs;        // the raw answer's body byte by byte, this far apart
        const char* error; // part of the message; nullptr when the fetch succeeds
        std::size_t refused;
        std::string after; // summary() afterwards
    } cases[] = {
        {"the program's keys in any case", fullOrder("A1", "lastname=Neu\r\nPRINTED=\r\nInvoiceNo=RE-666\r\n"), "", 0,
         nullptr, 2, "A1:Neu/true/RE-7"},
        {"a key again in another case", fullOrder("A1", "lastname=Neu\r\nLastName=Evil\r\n") + b2, "", 0, nullptr, 1,
         "A1:Neu/true/RE-7 B2:Kunz//"},
        {"a byte order mark", "\xEF\xBB\xBF" + b2, "", 0, nullptr, 0, kept + " B2:Kunz//"},
        {"unknown section syntax", b2 + "[B2/../x]\r\nlastname=Evil\r\n", "", 0, nullptr, 2, kept + " B2:Kunz//"},
        {"the last line cut short", b2.substr(0, b2.size() - 2), "", 0, "its last line \"payment=vk\" has no line end",
         0, kept},
        {"an order without its figures", b2 + "[C3]\r\nlastname=Halb\r\n" + kItems, "", 0,
         "the order \"C3\" has no subtotal", 0, kept},
        // Kept as sent; the invoice refuses to read so many lines.
        {"itemcount 99999", "[B2]\r\nlastname=Viel\r\nitemcount=99999\r\n" + kFigures, "", 0, nullptr, 0,
         kept + " B2:Viel//"},
        {"a gzip bomb", "",
         [&] {
             const std::string bomb = gzipped(b2 + std::string(8 << 20, '\n'));
             return "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: " + std::to_string(bomb.size()) +
                    "\r\n\r\n" + bomb;
         }(),
         0, "is larger than 1 MB", 0, kept},
        {"an answer that drips in", "", "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + b2 + b2 + b2, 100,
         "did not arrive within 1500 ms", 0, kept},
        {"control characters in an error page", "\x1b[2J\x1b]0;owned\x07<html>\r\n", "", 0,
         "its answer begins: \\x1B[2J\\x1B]0;owned\\x07<html>", 0, kept},
        {"control characters in the status", "",
         "HTTP/1.1 503 Busy\x1b[31m\rred\r\nContent-Length: 0\r\nConnection: close\r\n\r\n", 0,
         "HTTP status 503 Busy\\x1B[31m\\rred", 0, kept},
    };
    for (const Case& c : cases) {
        home_.write("orders.dat", before);
        std::optional<RawHttpPeer> raw;
        if (!c.raw.empty()) {
            raw.emplace(c.raw, std::chrono::milliseconds(c.dripMs));
            serveFrom(raw->address());
        } else {
            peer.setReply(c.body);
            serveFrom(peer.address());
        }
        const auto start = std::chrono::steady_clock::now();
        try {
            const FetchResult result = GetOrders(dirs_, user_, http_, {}, {}, limits);
            EXPECT_EQ(c.error, nullptr) << c.what << ": no error";
            EXPECT_EQ(result.RefusedLines, c.refused) << c.what;
        } catch (const Error& e) {
            const std::string message = e.what();
            ASSERT_NE(c.error, nullptr) << c.what << ": " << message;
            EXPECT_NE(message.find(c.error), std::string::npos) << c.what << ": " << message;
            EXPECT_FALSE(hasControlChar(message)) << c.what << ": " << message;
            EXPECT_EQ(message.find("p%26ss"), std::string::npos) << message;
            EXPECT_EQ(home_.read("orders.dat"), before) << c.what;
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << c.what;
        EXPECT_EQ(summary(home_.path()), c.after) << c.what;
        EXPECT_FALSE(FileExists(home_.file("temp/orders.tmp"))) << c.what;
        EXPECT_FALSE(FileExists(home_.file("temp/orders.tmp.part"))) << c.what;
    }
}

TEST_F(GetOrdersTest, TheDownloadIsWrittenForItsOwnerOnly)
{
    RawHttpPeer peer("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello");
    // Left by an earlier run with a wider mode, and a new one under a lax umask.
    home_.write("old.tmp", "x");
    ::chmod(home_.file("old.tmp").c_str(), 0644);
    home_.write("old.tmp.part", "x");
    ::chmod(home_.file("old.tmp.part").c_str(), 0666);
    const mode_t umask = ::umask(0);
    for (const char* name : {"old.tmp", "new.tmp"}) {
        http_.GetToFile(peer.address(), home_.file(name));
        EXPECT_EQ(home_.read(name), "hello");
        EXPECT_EQ(mode(home_.file(name)), 0600u) << name;
    }
    ::umask(umask);
}

TEST(InvoiceNumbersTest, TheSequenceHandsOutEachNumberOnceAndKeepsTypedOnes)
{
    TempDir dir;
    const std::string program = dir.path();
    const std::string data = dir.file("daten/");
    dir.write("daten/shopprofil.ini", "[Invoice]\r\nReNrPrefix=RE-\r\nReNrNext=0098\r\n");
    dir.write("orders.dat", "[A1]\r\nlastname=A\r\n[B2]\r\nlastname=B\r\n[C3]\r\nlastname=C\r\n[D4]\r\nlastname=D\r\n");

    struct Step {
        const char* order;
        const char* number; // as printed
        const char* proposedBefore;
        bool advanced;
        const char* nextAfter;
    } steps[] = {
        {"A1", "RE-0098", "RE-0098", true, "0099"},   // the proposed one
        {"B2", "RE-0099", "RE-0099", true, "0100"},   // the width stays, the number grows
        {"C3", "Sonder-1", "RE-0100", false, "0100"}, // typed by hand, kept as typed
        {"A1", "RE-0098", "RE-0098", false, "0100"},  // printed again with its own number
        {"D4", "RE-0150", "RE-0100", true, "0151"},   // typed ahead: the sequence moves past it
        {"C3", "", "Sonder-1", false, "0151"},        // no number: the stored one stays
    };
    for (const Step& s : steps) {
        EXPECT_EQ(ProposedInvoiceNumber(program, data, s.order), s.proposedBefore) << s.order << " " << s.number;
        const InvoiceRecord record = RecordInvoice(program, data, s.order, s.number);
        EXPECT_TRUE(record.OrderFound);
        EXPECT_EQ(record.SequenceAdvanced, s.advanced) << s.number;
        EXPECT_EQ(ReadInvoiceSequence(data).Next, s.nextAfter) << s.number;
        const Order order = ReadOrder(program, s.order);
        EXPECT_EQ(order.State(), OrderState::Done);
        EXPECT_EQ(order.InvoiceNumber(), *s.number ? s.number : "Sonder-1");
    }
    EXPECT_EQ(OrderWithInvoiceNumber(program, "RE-0099"), "B2");
    EXPECT_EQ(OrderWithInvoiceNumber(program, "RE-0099", "B2"), "");
    EXPECT_EQ(mode(dir.file("orders.dat")), 0600u);

    // An order deleted meanwhile is not written back; its number is still used up.
    const InvoiceRecord gone = RecordInvoice(program, data, "Z9", "RE-0151");
    EXPECT_FALSE(gone.OrderFound);
    EXPECT_TRUE(gone.SequenceAdvanced);
    EXPECT_FALSE(FindOrder(program, "Z9").has_value());
    EXPECT_EQ(ReadInvoiceSequence(data).Number(), "RE-0152");

    dir.write("daten/shopprofil.ini", "[Invoice]\r\nReNrNext=12a\r\n");
    EXPECT_THROW(ProposedInvoiceNumber(program, data, "Z9"), Error);
    TempDir fresh;
    EXPECT_EQ(ReadInvoiceSequence(fresh.path()).Number(), "1");
}

TEST(InvoiceNumbersTest, TheProfileDialogNeverMovesTheSequenceBack)
{
    TempDir dir;
    const std::string data = dir.file("daten/");
    dir.write("daten/shopprofil.ini", "[Invoice]\r\nReNrPrefix=R\r\nReNrNext=5\r\n");
    dir.write("orders.dat", "[A1]\r\nk=v\r\n");
    ShopProfileEditor editor;
    editor.Load(data, "deutsch", "deutsch", 1);
    EXPECT_EQ(editor.InvoicePrefix, "R");
    EXPECT_EQ(editor.InvoiceNext, "5");

    // Printed while the dialog is open; saving the dialog keeps the new state.
    RecordInvoice(dir.path(), data, "A1", "R5");
    editor.Save(data, "deutsch", "deutsch", 1);
    EXPECT_EQ(ReadInvoiceSequence(data).Number(), "R6");

    editor.InvoiceNext = "100";
    editor.Save(data, "deutsch", "deutsch", 1);
    EXPECT_EQ(ReadInvoiceSequence(data).Number(), "R100");

    editor.InvoiceNext = "1O0";
    const std::string before = dir.read("daten/shopprofil.ini");
    EXPECT_THROW(editor.Save(data, "deutsch", "deutsch", 1), Error);
    EXPECT_EQ(dir.read("daten/shopprofil.ini"), before);
}
