// Proof that the leak checker of the AddressSanitizer build watches our code, the
// suppressions file notwithstanding: a block allocated here, whose only pointer is then
// dropped. CTest passes this only when the leak is reported from this file.
#include <cstddef>

namespace {

// Written through a volatile pointer, so that the allocation cannot be optimised away.
char* volatile kept = nullptr;

[[gnu::noinline]] void leakOne(std::size_t bytes)
{
    kept = new char[bytes];
    kept[0] = 1;
    kept = nullptr;
}

} // namespace

int main()
{
    leakOne(4321);
    return 0;
}
