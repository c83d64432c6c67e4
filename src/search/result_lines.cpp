#include "search/result_lines.h"

#include <algorithm>

uint64_t result_lines::at(uint64_t k) const
{
    const std::lock_guard<std::mutex> hold(m_lock);
    if (k >= size())
        return 0;
    const auto index = static_cast<std::size_t>(k / kChunkSize);
    return index < m_chunks.size() ? m_chunks[index][k % kChunkSize] : 0;
}

std::size_t result_lines::read(uint64_t k, std::size_t count, std::vector<uint64_t>& out) const
{
    out.clear();
    const std::lock_guard<std::mutex> hold(m_lock);
    const uint64_t end = std::min<uint64_t>(size(), k + count);
    if (k >= end)
        return 0;
    out.reserve(static_cast<std::size_t>(end - k));
    for (uint64_t n = k; n < end;) {
        const auto index = static_cast<std::size_t>(n / kChunkSize);
        if (index >= m_chunks.size())
            break;
        const uint64_t chunk_end = std::min<uint64_t>(end, (index + 1) * static_cast<uint64_t>(kChunkSize));
        const uint64_t* numbers = m_chunks[index].get();
        for (; n < chunk_end; ++n)
            out.push_back(numbers[n % kChunkSize]);
    }
    return out.size();
}

std::vector<uint64_t> result_lines::copy() const
{
    std::vector<uint64_t> out;
    read(0, static_cast<std::size_t>(size()), out);
    return out;
}

uint64_t result_lines::lower_bound(uint64_t line) const
{
    uint64_t low = 0;
    uint64_t high = size();
    while (low < high) {
        const uint64_t middle = low + (high - low) / 2;
        if (at(middle) < line)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

bool result_lines::back(uint64_t& line) const
{
    const uint64_t n = size();
    if (n == 0)
        return false;
    line = at(n - 1);
    return true;
}

void result_lines::append(uint64_t line)
{
    const uint64_t k = m_count.load(std::memory_order_relaxed);
    const auto index = static_cast<std::size_t>(k / kChunkSize);
    uint64_t* numbers;
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        if (index >= m_chunks.size())
            m_chunks.push_back(std::make_unique<uint64_t[]>(kChunkSize));
        numbers = m_chunks[index].get();
    }
    numbers[k % kChunkSize] = line;
    m_count.store(k + 1, std::memory_order_release);
}

void result_lines::clear()
{
    const std::lock_guard<std::mutex> hold(m_lock);
    m_count.store(0, std::memory_order_release);
    m_chunks.clear();
}

std::size_t result_lines::memory_bytes() const
{
    const std::lock_guard<std::mutex> hold(m_lock);
    return m_chunks.size() * kChunkSize * sizeof(uint64_t) + m_chunks.capacity() * sizeof(m_chunks[0]);
}
