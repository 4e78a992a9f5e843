// The pages built into the server: each file a page loads is there with a fitting type, and
// nothing in them needs more than the Content-Security-Policy allows.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "web/assets.h"

namespace {

std::vector<std::string> loadedPaths(std::string_view html) {
    const std::string text(html);
    const std::regex reference(R"re((?:src|href)="([^"]*)")re");
    std::vector<std::string> paths;
    for (auto match = std::sregex_iterator(text.begin(), text.end(), reference);
         match != std::sregex_iterator(); ++match) {
        paths.push_back((*match)[1].str());
    }
    return paths;
}

std::vector<std::string> moduleImports(std::string_view script) {
    const std::string text(script);
    const std::regex import(R"re(from '\./([^']+)')re");
    std::vector<std::string> names;
    for (auto match = std::sregex_iterator(text.begin(), text.end(), import);
         match != std::sregex_iterator(); ++match) {
        names.push_back((*match)[1].str());
    }
    return names;
}

class WebAssets : public testing::Test {
protected:
    void SetUp() override {
        if (!webPageBuilt()) {
            GTEST_SKIP() << "this build has no web page (npm was missing)";
        }
    }
};

TEST_F(WebAssets, EveryFileAPageOrScriptLoadsIsBuiltIn) {
    for (const char* page : {"/", "/table"}) {
        const WebAsset* html = findWebAsset(page);
        ASSERT_NE(html, nullptr) << page;
        EXPECT_EQ(html->contentType, "text/html; charset=utf-8");
        const std::vector<std::string> paths = loadedPaths(html->body);
        EXPECT_GE(paths.size(), 3U) << page;
        for (const std::string& path : paths) {
            if (path == "/") {
                continue;  // the link home
            }
            const WebAsset* asset = findWebAsset(path);
            ASSERT_NE(asset, nullptr) << page << " loads " << path;
            if (!path.ends_with(".js") && !path.ends_with(".mjs")) {
                continue;
            }
            EXPECT_EQ(asset->contentType, "text/javascript; charset=utf-8") << path;
            for (const std::string& name : moduleImports(asset->body)) {
                EXPECT_NE(findWebAsset("/assets/" + name), nullptr) << path << " imports " << name;
            }
        }
    }
}

TEST_F(WebAssets, PagesHaveNoInlineScriptsOrStyles) {
    for (const char* page : {"/", "/table"}) {
        const std::string html(findWebAsset(page)->body);
        EXPECT_FALSE(std::regex_search(html, std::regex("<script(?![^>]*\\ssrc=)")))
            << page << " has an inline script";
        EXPECT_EQ(html.find("<style"), std::string::npos) << page;
        EXPECT_EQ(html.find(" style="), std::string::npos) << page;
        EXPECT_FALSE(std::regex_search(html, std::regex(R"(\son[a-z]+=)")))
            << page << " has an event attribute";
    }
}

TEST(WebAssetPaths, UnknownPathsAndPrefixesFindNothing) {
    for (const char* path : {"", "/t", "/assets/", "/assets/../index.html", "/assets/table.js/",
                             "/ASSETS/table.js", "/table.html", "/index.html"}) {
        EXPECT_EQ(findWebAsset(path), nullptr) << path;
    }
}

TEST(WebPolicy, AllowsOnlyThePagesOwnFiles) {
    const std::string policy(contentSecurityPolicy());
    for (const char* directive :
         {"default-src 'none'", "script-src 'self'", "style-src 'self'", "connect-src 'self'",
          "frame-ancestors 'none'", "base-uri 'none'"}) {
        EXPECT_NE(policy.find(directive), std::string::npos) << directive;
    }
    for (const char* loophole : {"unsafe-inline", "unsafe-eval", "*", "data:", "http:"}) {
        EXPECT_EQ(policy.find(loophole), std::string::npos) << loophole;
    }
}

}  // namespace
