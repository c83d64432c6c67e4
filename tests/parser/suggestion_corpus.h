// Log formats people meet, as sample lines in tests/parser/corpus, with the
// columns a parser suggested from them should have.  Shared by the
// suggestion test and its quality benchmark.
//
// Columns are written "Name" (text), "Name:ipv4", "Name:number" (integers),
// "Name:number.N" (N decimal places) or "Name:datetime=FORMAT", joined by
// " | ".
#pragma once

#include "format/data_format.h"
#include "parser/log_pattern.h"
#include "platform/strings.h"

#include <string>
#include <vector>

struct corpus_format {
    const char* name;
    const char* file;                // in tests/parser/corpus
    const char* columns;             // what a person would want
    const char* suggested = nullptr; // what is suggested instead, where that differs
};

inline const std::vector<corpus_format>& SuggestionCorpus()
{
    static const std::vector<corpus_format> corpus = {
        {"web server access (common)", "access.log",
         "Client:ipv4 | Identity | User | Time:datetime=d/b/Y:H:M:S | Request | Status:number | Size:number"},
        {"web server access (combined)", "combined.log",
         "Client:ipv4 | Identity | User | Time:datetime=d/b/Y:H:M:S | Request | Status:number | Size:number | Referrer "
         "| Agent"},
        {"web server error", "nginx_error.log", "Time:datetime=Y/m/d H:M:S | Level | Process | Message"},
        {"syslog", "syslog.log", "Time:datetime=b d H:M:S | Host | Program | Message"},
        {"syslog, space-padded day", "syslog_padded.log", "Time:datetime=b  d H:M:S | Host | Program | Message"},
        {"journal, short-iso", "journal_short_iso.log", "Time:datetime=Y-m-dTH:M:S | Host | Program | Message"},
        {"package manager", "dpkg.log", "Time:datetime=Y-m-d H:M:S | Action | Package | Message"},
        {"Java logging", "log4j.log", "Time:datetime=Y-m-d H:M:S,s | Thread | Level | Logger | Message"},
        {"Python logging, default", "python_default.log", "Level | Logger | Message"},
        {"Python logging, with time", "python_asctime.log", "Time:datetime=Y-m-d H:M:S,s | Logger | Level | Message"},
        {"Go structured (key=value)", "go_slog.log",
         "time:datetime=Y-m-dTH:M:S.s | level | msg | method | path | status:number | duration"},
        {"database server", "postgres.log", "Time:datetime=Y-m-d H:M:S.s | Zone | Process:number | Level | Message"},
        {"container runtime", "docker.log", "time:datetime=Y-m-dTH:M:S | level | msg"},
        {"firewall (key=value)", "ufw.log",
         "Time:datetime=b d H:M:S | Host | Program | Field 4:number.6 | Tag | IN | OUT | MAC | SRC:ipv4 | DST:ipv4 | "
         "LEN:number | TOS | PREC | TTL:number | ID:number | PROTO | SPT:number | DPT:number | Message"},
        {"application, milliseconds and thread", "application.log",
         "Time:datetime=Y-m-d H:M:S.s | Level | Thread | Message"},
        {"ISO 8601 with zone", "iso_app.log", "Time:datetime=Y-m-dTH:M:S.s | Level | Logger | Message"},
        {"servlet container", "tomcat.log", "Time:datetime=d-b-Y H:M:S.s | Level | Thread | Logger | Message"},
        {"search engine", "elasticsearch.log", "Time:datetime=Y-m-dTH:M:S,s | Level | Logger | Node | Message",
         // The node's name in brackets reads like a thread's.
         "Time:datetime=Y-m-dTH:M:S,s | Level | Logger | Thread | Message"},
        {"Go standard log", "go_std.log", "Time:datetime=Y/m/d H:M:S | Message"},
        {"epoch milliseconds", "epoch_ms.log", "Time:number | Thread | Level | Message"},
        {"network monitor (tab-separated, epoch seconds)", "zeek_conn.log",
         "Time:number.6 | Field 2 | Client:ipv4 | Port:number | Server:ipv4 | Port 2:number | Protocol | Field 8 | "
         "Field 9:number.6 | Field 10:number | Field 11:number | Message"},
        {"load balancer through syslog", "haproxy.log", "Time:datetime=b d H:M:S | Host | Program | Message"},
        {"PHP errors", "php_error.log", "Time:datetime=d-b-Y H:M:S | Level | Message",
         // "PHP Fatal error:" is a level of several words, which no column of
         // words before a label can hold.
         "Time:datetime=d-b-Y H:M:S | Message"},
    };
    return corpus;
}

// A parser's columns in the notation above.
inline std::string DescribeColumns(const log_pattern_list& parser)
{
    std::vector<const log_pattern*> leaves;
    leaf_count(parser, &leaves);
    std::string out;
    for (const log_pattern* leaf : leaves) {
        if (!out.empty())
            out += " | ";
        out += ToUtf8(leaf->name);
        const tagDATA_FORMAT& format = leaf->data_format;
        if (format.data_type == DATA_TYPE_IPV4)
            out += ":ipv4";
        else if (format.data_type == DATA_TYPE_NUMERIC)
            out += format.digit_count == 0 ? std::string(":number") : ":number." + std::to_string(format.digit_count);
        else if (format.data_type == DATA_TYPE_DATETIME)
            out += ":datetime=" + ToUtf8(format.format);
    }
    return out;
}

// The same without the names: what the columns cut and how they are typed.
inline std::string DescribeLayout(const std::string& columns)
{
    std::string out;
    std::size_t start = 0;
    while (start <= columns.size()) {
        std::size_t bar = columns.find(" | ", start);
        if (bar == std::string::npos)
            bar = columns.size();
        const std::string column = columns.substr(start, bar - start);
        const std::size_t colon = column.find(':');
        out +=
            (out.empty() ? "" : " | ") + (colon == std::string::npos ? std::string("text") : column.substr(colon + 1));
        start = bar + 3;
    }
    return out;
}
