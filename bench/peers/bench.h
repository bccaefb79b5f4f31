// Shared scenario runner for the peer editor benchmarks.
// Each peer program implements Peer and calls runBench(); all timing, paint forcing and JSON
// output live in bench.cpp so that every peer is measured the same way.
#pragma once

#include <QJsonObject>
#include <QString>
#include <functional>
#include <memory>

class QAbstractScrollArea;

struct Peer {
  virtual ~Peer() = default;
  virtual QAbstractScrollArea* widget() = 0; // the editor; keys are sent here
  virtual void setText(const QString& text) = 0;
  virtual void highlightAll() = 0; // style/highlight the whole document now
  virtual qint64 lines() = 0;
  virtual qint64 length() = 0;                      // document length in the widget's own unit
  virtual void setCaret(qint64 line) = 0;           // column 0 of `line`; -1 = end of document
  virtual void insertAtStart(const QString& s) = 0; // programmatic insert at offset 0
  virtual qint64 firstVisibleLine() = 0;
  virtual qint64 findAll(const QString& word) = 0; // whole word, case sensitive, own search API
  virtual QJsonObject describe() = 0;              // versions / settings, printed with results
  virtual QJsonObject check() = 0;                 // sanity figures after highlight-all (untimed)
};

// argv: PROGRAM SCENARIO FILE [chars=200] [pages=300] [word=return]
int runBench(int argc, char** argv, const char* peerName, const std::function<std::unique_ptr<Peer>()>& makePeer);
