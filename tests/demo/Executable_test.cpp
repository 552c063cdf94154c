// The vantrel-demo-market program: the port line, a served page, a clean stop on SIGTERM and SIGINT.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "DemoClient.h"
#include "DemoTestSupport.h"

namespace vantrel::demo {
namespace {

struct Child {
    pid_t pid = -1;
    FILE* out = nullptr;
};

Child Launch(std::vector<std::string> args) {
    int fds[2];
    if (pipe(fds) != 0) {
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> argv;
        args.insert(args.begin(), VANTREL_DEMO_MARKET_EXE);
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    return {pid, fdopen(fds[0], "r")};
}

int WaitExit(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(DemoProgram, PrintsItsPortFirstServesAndStopsCleanly) {
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        Child child = Launch({"--port", "0", "--seed", "5"});
        ASSERT_GT(child.pid, 0);
        char line[64] = {};
        ASSERT_NE(std::fgets(line, sizeof line, child.out), nullptr);  // arrives although stdout is a pipe: flushed
        int port = 0;
        ASSERT_EQ(std::sscanf(line, "port %d\n", &port), 1) << line;
        EXPECT_GT(port, 0);
        testing::Client client(port);
        const testing::Reply home = client.Get10("http://asyn-shop.taobao.com/");
        EXPECT_NE(home.body.find(testing::G("首页-小蜜蜂家居生活馆-淘宝网")), std::string::npos);
        const Catalogue seeded({.seed = 5});
        EXPECT_NE(client.Get10("http://item.taobao.com/item.htm?id=" + seeded.Items()[0].id).body.find("-"),
                  std::string::npos);
        EXPECT_EQ(client.Get10("http://item.taobao.com/item.htm?id=" + seeded.Items()[0].id).status, 200);
        kill(child.pid, signal);
        EXPECT_EQ(WaitExit(child.pid), 0);
        std::fclose(child.out);
    }
}

TEST(DemoProgram, RejectsBadOptionsAndListsTheCatalogue) {
    const struct {
        std::vector<std::string> args;
        int exit;
        std::string output;  // part of stdout
    } cases[] = {
        {{"--items", "0"}, 2, ""},
        {{"--items", "10001"}, 2, ""},
        {{"--port", "x"}, 2, ""},
        {{"--frobnicate"}, 2, ""},
        {{"--help"}, 0, "redirect-shop.tmall.com"},
        {{"--list", "--items", "2"}, 0, "empty-shop.taobao.com\ttaobao-empty"},
        {{"--expected", "mall-shop.tmall.com", "--items", "1"}, 0, "\thttps://detail.tmall.com/item.htm?id="},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        Child child = Launch(c.args);
        ASSERT_GT(child.pid, 0);
        std::string out;
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, child.out)) > 0;) {
            out.append(buffer, n);
        }
        std::fclose(child.out);
        EXPECT_EQ(WaitExit(child.pid), c.exit);
        EXPECT_NE(out.find(c.output), std::string::npos) << out;
    }
}

}  // namespace
}  // namespace vantrel::demo
