#include "tickmatch/TimeTransport.h"

std::unique_ptr<TTimeTransport> CreateTimeTransport() {
#ifdef TICKMATCH_WITH_HXNET
    return CreateHXTimeTransport();
#else
    return CreateQtTimeTransport();
#endif
}
