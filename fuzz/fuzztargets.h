#pragma once

#include <QByteArray>
#include <QList>

// The parsers of untrusted text, each as one function over arbitrary bytes. libFuzzer drives
// them (one executable each); the kept inputs run through them as ordinary tests. A function
// aborts when a property it checks does not hold; sanitizers report the rest.
namespace fulmaro::fuzz {

// Tool output split into lines: the lines do not depend on where the reads ended.
void lineSplitter(const QByteArray &data);
// The probe's name=value output turned into a row.
void probeOutput(const QByteArray &data);
// The encoder's console output followed for its length and progress.
void renderProgress(const QByteArray &data);
// The settings file read back.
void settingsFile(const QByteArray &data);
// One --set NAME=VALUE; what it accepts is what the panel could hold.
void setOption(const QByteArray &data);

struct Target
{
    const char *name;
    void (*run)(const QByteArray &data);
};
const QList<Target> &targets();

} // namespace fulmaro::fuzz
