#include "texts/front_texts.h"

namespace texts {

std::string StatusThenNext(const std::string &done, const std::string &next)
{
    return done + "　" + next;
}

} // namespace texts
