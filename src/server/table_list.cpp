#include "server/table_list.h"

#include <boost/asio/post.hpp>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "records/files.h"
#include "server/log.h"
#include "server/tokens.h"

namespace asio = boost::asio;
using nlohmann::json;

namespace server {

namespace {

constexpr std::size_t kMostListBytes = std::size_t{64} << 20;  // some 100,000 tables

json toJson(const TableRecord& r) {
    json table = {{"id", r.id},
                  {"join", r.joinToken},
                  {"watch", r.watchToken},
                  {"seats", r.seatTokens},
                  {"names", r.names},
                  {"computers", r.computers},
                  {"level", r.level},
                  {"started", r.started}};
    if (r.seed) {
        table["seed"] = *r.seed;
    }
    return table;
}

bool sound(const TableRecord& r) {
    return looksLikeTableId(r.id) && looksLikeToken(r.joinToken) && looksLikeToken(r.watchToken) &&
           !r.seatTokens.empty() && r.computers >= 0 && r.computers <= 4 && r.level >= 0 &&
           r.level <= 2 && r.seatTokens.size() <= static_cast<std::size_t>(5 - r.computers) &&
           r.names.size() <= r.seatTokens.size() &&
           std::all_of(r.seatTokens.begin(), r.seatTokens.end(),
                       [](const std::string& s) { return looksLikeToken(s); });
}

std::optional<TableRecord> fromJson(const json& t) {
    try {
        TableRecord r;
        r.id = t.at("id").get<std::string>();
        r.joinToken = t.at("join").get<std::string>();
        r.watchToken = t.at("watch").get<std::string>();
        r.seatTokens = t.at("seats").get<std::vector<std::string>>();
        r.names = t.at("names").get<std::vector<std::string>>();
        r.computers = t.at("computers").get<std::int32_t>();
        r.level = t.at("level").get<std::int32_t>();
        r.started = t.at("started").get<bool>();
        if (t.contains("seed")) {
            r.seed = t.at("seed").get<std::uint32_t>();
        }
        return sound(r) ? std::optional(r) : std::nullopt;
    } catch (const json::exception&) {
        return std::nullopt;
    }
}

}  // namespace

std::string tableListEntry(const TableRecord& record) {
    return toJson(record).dump();
}

std::optional<TableRecord> readTableListEntry(std::string_view text) {
    const json entry = json::parse(text, nullptr, false);
    return entry.is_discarded() ? std::nullopt : fromJson(entry);
}

TableList::TableList(asio::io_context& io, DiskThread& disk, std::filesystem::path path)
    : io_(io), disk_(disk), path_(std::move(path)) {}

TableList::~TableList() {
    *alive_ = false;
}

std::vector<TableRecord> TableList::load() {
    files::removeTemporaries(path_.string());  // from a server killed while it wrote
    std::string problem;
    const std::optional<std::string> file = files::read(path_.string(), kMostListBytes, problem);
    if (!problem.empty()) {
        throw std::runtime_error(path_.string() + ": " + problem);
    }
    if (!file) {
        return {};
    }
    const json list = json::parse(*file, nullptr, false);
    if (list.is_discarded() || !list.is_object() || !list.contains("tables") ||
        !list["tables"].is_array()) {
        throw std::runtime_error(path_.string() + " is damaged");
    }
    std::vector<TableRecord> tables;
    for (const json& entry : list["tables"]) {
        std::optional<TableRecord> record = fromJson(entry);
        if (!record || entries_.contains(record->id)) {
            logEvent("table-list-entry-refused", {{"reason", record ? "twice" : "damaged"}});
            continue;
        }
        entries_.emplace(record->id, tableListEntry(*record));
        tables.push_back(std::move(*record));
    }
    return tables;
}

void TableList::put(const TableRecord& record) {
    entries_.insert_or_assign(record.id, tableListEntry(record));
    ++changes_;
    if (!writing_) {
        startWrite();
    }
}

void TableList::remove(const std::string& id) {
    if (entries_.erase(id) == 0) {
        return;
    }
    ++changes_;
    if (!writing_) {
        startWrite();
    }
}

void TableList::whenWritten(Written written) {
    if (written_ == changes_) {
        asio::post(io_, [written = std::move(written)] { written(""); });
        return;
    }
    waiters_.push_back({changes_, std::move(written)});
}

std::string TableList::text() const {
    std::string text = "{\"version\": 1, \"tables\": [\n";
    for (const auto& [id, entry] : entries_) {
        text += entry;
        text += ",\n";
    }
    if (!entries_.empty()) {
        text.erase(text.size() - 2, 1);  // the last entry's comma
    }
    return text + "]}\n";
}

void TableList::startWrite() {
    writing_ = true;
    handedTo_ = changes_;
    disk_.run([path = path_.string(), text = text()] { return files::replace(path, text, true); },
              [this, alive = alive_, change = changes_](const std::string& problem) {
                  if (*alive) {
                      onWritten(change, problem);
                  }
              });
}

void TableList::onWritten(std::uint64_t change, const std::string& problem) {
    writing_ = false;
    ++writes_;
    written_ = std::max(written_, change);
    if (!problem.empty()) {
        logEvent("table-list-not-written", {{"reason", problem}});
    }
    std::vector<Waiter> done;
    std::erase_if(waiters_, [&](Waiter& waiter) {
        if (waiter.change > written_) {
            return false;
        }
        done.push_back(std::move(waiter));
        return true;
    });
    for (Waiter& waiter : done) {
        waiter.written(problem);
    }
    if (!writing_ && changes_ > handedTo_) {
        startWrite();
    }
}

void TableList::writeNow() {
    disk_.drain();
    handedTo_ = changes_;
    writing_ = true;
    onWritten(changes_, files::replace(path_.string(), text(), true));
}

}  // namespace server
