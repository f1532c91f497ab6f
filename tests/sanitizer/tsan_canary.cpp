// Proof that the race detector of this build watches our code, Qt frames on the stack and
// the suppressions file notwithstanding: two threads started through Qt write one plain
// counter without synchronisation. CTest passes this only when the race is reported.
#include <QThread>

#include <memory>

namespace {

int unguarded = 0;

void bump()
{
    for (int i = 0; i < 1000; ++i)
        ++unguarded;
}

} // namespace

int main()
{
    const std::unique_ptr<QThread> a(QThread::create(bump)), b(QThread::create(bump));
    a->start();
    b->start();
    a->wait();
    b->wait();
    return unguarded > 0 ? 0 : 1;
}
