#include "shared/random.h"

namespace k3l {

uint32_t randState = 1;

int rand()
{
    randState = randState * 214013u + 2531011u;
    return static_cast<int>((randState >> 16) & 0x7FFFu);
}

}  // namespace k3l
