#include "XMemDC.h"

CXMemDC::CXMemDC(CDC* target, int width, int height) {
    Create(target, width, height);
}

CXMemDC::~CXMemDC() {
    Release();
}

CDC* CXMemDC::Create(CDC* target, int width, int height) {
    Release();
    if (!target)
        return nullptr;
    m_target = target;
    m_memoryDc = std::make_unique<CDC>();
    m_memoryDc->CreateCompatibleDC(target);
    m_bitmap = std::make_unique<CBitmap>();
    m_bitmap->CreateCompatibleBitmap(target, width, height);
    m_previousBitmap = ::SelectObject(m_memoryDc->GetSafeHdc(), m_bitmap->m_hObject);
    m_width = width;
    m_height = height;
    return m_memoryDc.get();
}

void CXMemDC::Release() {
    if (!m_memoryDc)
        return;
    m_target->BitBlt(0, 0, m_width, m_height, m_memoryDc.get(), 0, 0, SRCCOPY);
    if (m_previousBitmap)
        ::SelectObject(m_memoryDc->GetSafeHdc(), m_previousBitmap);
    m_bitmap.reset();
    m_memoryDc.reset();
    m_target = nullptr;
    m_previousBitmap = nullptr;
    m_width = 0;
    m_height = 0;
}
