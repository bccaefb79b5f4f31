#!/usr/bin/env bash
# ratios.sh RESULTS.jsonl — TZarvMemo against QScintilla from one run-all.sh
# run: the ratio targets (open -> first paint, highlight-all, find) and the
# absolute ones (typing, PageDown, the file of ten 1 MB lines). Needs jq.
set -euo pipefail
jq -rs '
  def get(p; f; s): map(select(.peer == p and .file == f and .scenario == s and .status == "ok")) | first;
  def r(a; b): if a == null or b == null or b == 0 then "-" else (a / b * 1000 | round / 1000 | tostring) end;
  def n: if . == null then "-" else (. * 100 | round / 100 | tostring) end;
  def mark(ok): if ok then "met" else "missed" end;
  . as $all
  | "| file | measure | zarv | qsci | qpte | zarv / qsci | target | |",
    "|---|---|---:|---:|---:|---:|---|---|",
    ( ["cpp-10MB.cpp", "cpp-100MB.cpp"][] as $f
      | ( [ ["open -> first paint ms", "open", "first_paint_ms", 0.5],
            ["highlight all ms", "highlight-all", "highlight_ms", 0.5],
            ["find \"return\" ms", "find", "find_ms", 0.1] ][] as [$name, $sc, $key, $target]
          | ($all | get("zarv"; $f; $sc)[$key]) as $z
          | ($all | get("qsci"; $f; $sc)[$key]) as $q
          | ($all | get("qpte"; $f; $sc)[$key]) as $p
          | "| \($f) | \($name) | \($z | n) | \($q | n) | \($p | n) | \(r($z; $q)) | <= \($target) x | \(if $z and $q then mark($z <= $target * $q) else "-" end) |" ),
        ( ["start", "middle", "end"][] as $pos
          | ($all | get("zarv"; $f; "type")[$pos]) as $z
          | ($all | get("qsci"; $f; "type")[$pos]) as $q
          | ($all | get("qpte"; $f; "type")[$pos]) as $p
          | "| \($f) | typing at the \($pos), median / p99 ms | \($z.median_ms | n) / \($z.p99_ms | n) | \($q.median_ms | n) / \($q.p99_ms | n) | \($p.median_ms | n) / \($p.p99_ms | n) | \(r($z.median_ms; $q.median_ms)) | <= 1 / 4 ms | \(if $z then mark($z.median_ms <= 1 and $z.p99_ms <= 4) else "-" end) |" ),
        ( ($all | get("zarv"; $f; "scroll").page_down) as $z
          | ($all | get("qsci"; $f; "scroll").page_down) as $q
          | ($all | get("qpte"; $f; "scroll").page_down) as $p
          | "| \($f) | PageDown median / p99 ms | \($z.median_ms | n) / \($z.p99_ms | n) | \($q.median_ms | n) / \($q.p99_ms | n) | \($p.median_ms | n) / \($p.p99_ms | n) | \(r($z.median_ms; $q.median_ms)) | <= 2 ms median | \(if $z then mark($z.median_ms <= 2) else "-" end) |" ),
        ( ($all | get("zarv"; $f; "comment-cascade")) as $z
          | ($all | get("qsci"; $f; "comment-cascade")) as $q
          | ($all | get("qpte"; $f; "comment-cascade")) as $p
          | "| \($f) | \"/*\" at the top: repaint / all highlighted ms | \($z.cascade_ms | n) / \($z.rehighlight_ms | n) | \($q.cascade_ms | n) / \($q.rehighlight_ms | n) | \($p.cascade_ms | n) / \($p.rehighlight_ms | n) | \(r($z.cascade_ms; $q.cascade_ms)) | | |" ),
        ( ($all | get("zarv"; $f; "open").peak_rss_mb) as $z
          | ($all | get("qsci"; $f; "open").peak_rss_mb) as $q
          | ($all | get("qpte"; $f; "open").peak_rss_mb) as $p
          | "| \($f) | peak RSS after open MB | \($z | n) | \($q | n) | \($p | n) | \(r($z; $q)) | | |" ) ),
    ( ($all | get("zarv"; "longlines.cpp"; "open").first_paint_ms) as $z
      | ($all | get("qsci"; "longlines.cpp"; "open").first_paint_ms) as $q
      | ($all | get("qpte"; "longlines.cpp"; "open").first_paint_ms) as $p
      | "| longlines.cpp | open -> first paint ms | \($z | n) | \($q | n) | \($p | n) | \(r($z; $q)) | <= 300 ms | \(if $z then mark($z <= 300) else "-" end) |" )
' "$@"
