#include "records/scan_csv.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <utility>

#include "base/text_out.h"
#include "base/numbers.h"

namespace kl {

std::string ScanCsvHeader(bool model) {
  return model ? "v,outcome,bounces,first_collision,v_out,end_distance,vacuum_between\n"
               : "v,outcome,bounces,first_collision,v_out,end_distance\n";
}

std::string ScanCsvRow(const CollisionRun& run, bool model) {
  std::string row = Shortest(run.v) + ',' + OutcomeName(run.outcome) + ',' + std::to_string(run.bounces) + ',';
  if (run.firstCollision) row += Trim(FormatWD(*run.firstCollision, 0, 3));
  row += ',';
  if (run.outgoingSpeed) row += Trim(FormatWD(*run.outgoingSpeed, 0, 4));
  row += ',';
  if (run.endDistance) row += Trim(FormatWD(*run.endDistance, 0, 2));
  if (model) {
    row += ',';
    if (run.vacuumBetween) row += Shortest(*run.vacuumBetween);
  }
  return row + '\n';
}

namespace {

// A field of a row: a finite number, or empty where `optional`.
bool ReadField(std::string_view text, bool optional, std::optional<double>& out) {
  out.reset();
  if (text.empty()) return optional;
  double v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return false;
  out = v;
  return true;
}

}  // namespace

bool ParseScanCsv(std::string_view text, const std::string& name, std::vector<CollisionRun>& runs, std::string& error) {
  std::vector<std::pair<std::string, CollisionRun>> rows;  // the row's text beside what it says
  auto refuse = [&](size_t line, const std::string& why) {
    error = name + ": line " + std::to_string(line) + ": " + why;
    return false;
  };
  if (text.size() > kMaxScanCsvBytes) {
    error = name + ": larger than " + std::to_string(kMaxScanCsvBytes >> 20) + " MB, not a scan CSV";
    return false;
  }
  std::string header = ScanCsvHeader().substr(0, ScanCsvHeader().size() - 1);
  const std::string modelHeader = ScanCsvHeader(true).substr(0, ScanCsvHeader(true).size() - 1);
  size_t columns = 6;
  size_t line = 0;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    std::string_view row = text.substr(start, end - start);
    start = end + 1;
    ++line;
    // Every row the scan writes ends with its newline: a last line without one was cut off,
    // perhaps in the middle of a number.
    if (end == text.size()) return refuse(line, "the last line has no end (a file cut short)");
    if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
    if (line == 1 && row == modelHeader) header = modelHeader, columns = 7;
    if (line == 1 && row != header) return refuse(line, "the header is not \"" + header + "\"");
    if (row == header) continue;  // the header of a further share's CSV
    if (row.empty()) return refuse(line, "an empty line");
    std::vector<std::string_view> fields;
    for (size_t f = 0;;) {
      const size_t comma = row.find(',', f);
      fields.push_back(row.substr(f, comma == std::string_view::npos ? std::string_view::npos : comma - f));
      if (comma == std::string_view::npos) break;
      f = comma + 1;
    }
    if (fields.size() != columns)
      return refuse(line, "expected " + std::to_string(columns) + " fields, found " + std::to_string(fields.size()));
    CollisionRun run;
    run.finished = true;
    std::optional<double> v, bounces;
    if (!ReadField(fields[0], false, v) || !(std::fabs(*v) < 1))
      return refuse(line, "the velocity is not a number strictly between -1 and 1");
    run.v = *v;
    if (fields[1] == "none") run.outcome = CollisionOutcome::None;
    else if (fields[1] == "capture") run.outcome = CollisionOutcome::Capture;
    else if (fields[1] == "escape") run.outcome = CollisionOutcome::Escape;
    else if (columns == 7 && fields[1] == "through") run.outcome = CollisionOutcome::Through;
    else return refuse(line, columns == 7 ? "the outcome is not none, capture, escape or through"
                                          : "the outcome is not none, capture or escape");
    if (!ReadField(fields[2], false, bounces) || *bounces != std::floor(*bounces) || *bounces < 0 || *bounces > 1e6)
      return refuse(line, "the bounces are not a whole number from 0 to 1000000");
    run.bounces = static_cast<int>(*bounces);
    if (run.outcome == CollisionOutcome::Escape && run.bounces < 1)
      return refuse(line, "an escape without a bounce");
    if (!ReadField(fields[3], true, run.firstCollision) || !ReadField(fields[4], true, run.outgoingSpeed) ||
        !ReadField(fields[5], true, run.endDistance))
      return refuse(line, "first_collision, v_out and end_distance are numbers or empty");
    if (columns == 7) {
      if (!ReadField(fields[6], true, run.vacuumBetween))
        return refuse(line, "vacuum_between is a number or empty");
      const bool settles = run.outcome == CollisionOutcome::Escape || run.outcome == CollisionOutcome::Through;
      if (settles != run.vacuumBetween.has_value())
        return refuse(line, "vacuum_between is given for an escape or through, and only then");
    }
    rows.emplace_back(std::string(row), std::move(run));
  }
  if (line == 0) {
    error = name + ": empty, not a scan CSV";
    return false;
  }
  std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.second.v < b.second.v; });
  runs.clear();
  for (size_t k = 0; k < rows.size(); ++k) {
    if (k > 0 && rows[k].second.v == rows[k - 1].second.v) {
      if (rows[k].first != rows[k - 1].first) {
        error = name + ": v = " + Shortest(rows[k].second.v) + " is listed twice with different results";
        return false;
      }
      continue;
    }
    runs.push_back(std::move(rows[k].second));
  }
  return true;
}

std::string EdgesCsvHeader() { return "v_low,v_high,class_low,class_high\n"; }

std::string EdgesCsvRow(const ScanEdge& e) {
  return Shortest(e.vLow) + ',' + Shortest(e.vHigh) + ',' + RunClassName(e.low) + ',' + RunClassName(e.high) + '\n';
}

std::string EdgesCsv(const std::vector<ScanEdge>& edges) {
  std::string text = EdgesCsvHeader();
  for (const ScanEdge& e : edges) text += EdgesCsvRow(e);
  return text;
}
}  // namespace kl
