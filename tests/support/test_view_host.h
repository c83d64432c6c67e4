// A file view without an application behind it, for the list and dialog
// tests that fill its window by hand: intents are refused, the window size
// is unlimited and every parser is the empty one.
#pragma once

#include "parser/log_pattern.h"
#include "work/file_view_engine.h"
#include "work/view_host.h"

class standalone_view_host : public view_host {
public:
    bool RunViewJob(tagVIEW_JOB&) override { return false; }
    bool JobRunning() const override { return false; }
    uint64_t MaxLoadingLines() override { return 0; }
    bool LoadTailFirst() override { return false; }
    const log_pattern_list& FindParser(std::u16string_view) const override { return m_parser; }

private:
    log_pattern_list m_parser;
};

inline standalone_view_host& StandaloneViewHost()
{
    static standalone_view_host host;
    return host;
}

class test_file_view : public file_view {
public:
    explicit test_file_view(std::u16string path = u"test.log") : file_view(StandaloneViewHost(), std::move(path)) {}
};
