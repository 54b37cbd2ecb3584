// The QtCore-only "hello" that bench_cli.sh sets `trimbel info` beside: the cost of starting a
// program that links QtCore and prints a line, and nothing more.
#include <cstdio>

#include <QString>

int main(int argc, char**) {
    const QString text = QStringLiteral("hello, %1 argument(s)").arg(argc - 1);
    std::puts(text.toUtf8().constData());
    return 0;
}
