#pragma once

#include <QStringView>

#include <optional>

// A line a DX-cluster node sends from one person to others: a talk ("TE1ST de TE0SYS: hello") or an
// announcement ("To ALL de TE0SYS: ...", "To LOCAL de TE0SYS: ..."). Whatever such a line quotes, it is
// never a spot. The views point into the line.
struct ClusterMessage {
    enum class Kind { Talk, Announcement };
    Kind kind = Kind::Talk;
    QStringView to;   // the addressee: a call for a talk, "ALL" or "LOCAL" for an announcement
    QStringView from; // the sender's call, without its colon
};

// "<to> de <from>: ..." with each of to and from one blank-free word and the colon right after from;
// "To <word> de <from>: ..." is an announcement. A spot's own leading "DX de" is not a talk, and neither is
// the node's prompt ("TE1ST de TE0NODE  6-Dec-2026 2339Z dxspider >"), which has no colon after the node.
std::optional<ClusterMessage> parseClusterMessage(QStringView line);
