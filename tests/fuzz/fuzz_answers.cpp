// Answer reading: any bytes as a redirected input stream, read as text and
// number items in turn until the input is exhausted.
#include "io/answer_items.h"
#include "radio/key_menu.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

struct Feed {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position;
    std::size_t chunk;
};

std::size_t fetch_from_feed(void* context, char* into, std::size_t capacity) {
    auto& feed = *static_cast<Feed*>(context);
    std::size_t count = feed.size - feed.position;
    if (count > capacity) count = capacity;
    if (count > feed.chunk) count = feed.chunk;
    std::memcpy(into, feed.data + feed.position, count);
    feed.position += count;
    return count;
}

void check(bool condition) {
    if (!condition) std::abort();
}

char buffer[8192];
TextItem text_item;
NumberItem number_item;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte sets how many bytes each read of the stream returns.
    Feed feed{data + 1, size - 1, 0, 1 + data[0] % 64U * 128U};
    AnswerInput input;
    input.buffer = buffer;
    input.capacity = sizeof buffer;
    input.fetch = fetch_from_feed;
    input.fetch_context = &feed;
    bool text_next = true;
    for (;;) {
        const std::uint64_t before = input.consumed;
        if (text_next) {
            read_text_item(input, text_item);
            check(text_item.length <= TEXT_ITEM_LIMIT);
        } else {
            read_number_item(input, number_item);
            check(number_item.length <= NUMBER_ITEM_LIMIT);
            const float value = number_from_item(number_item.text(), number_item.is_real);
            char formatted[FORMATTED_NUMBER_CAPACITY];
            check(format_number(value, formatted) < FORMATTED_NUMBER_CAPACITY);
            const std::uint64_t slot = slot_position_for_answer(value);
            check(slot == 0 || (slot >= KEY_SLOT_BASE + 1 && slot <= KEY_SLOT_BASE + KEY_COUNT));
        }
        text_next = !text_next;
        check(input.consumed >= before && input.consumed <= feed.size);
        if (input.consumed == before) {
            // Only the end of the input lets an item take nothing.
            check(input.exhausted && input.next == input.end && input.consumed == feed.size);
            break;
        }
    }
    return 0;
}
