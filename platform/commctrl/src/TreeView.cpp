// The tree view: items under items, expanded and collapsed, one selected item (the caret) with
// TVN_SELCHANGING/TVN_SELCHANGED, keys, taps and a font. Item handles are ids that are never reused, so
// a handle of a deleted item is refused rather than followed.

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Internal.h"
#include "crt/WideString.h"
#include "user/ScopedPaint.h"

namespace commctrl {
namespace {

struct Node {
    ULONG_PTR id = 0;
    std::u16string text;
    LPARAM lParam = 0;
    int image = 0;
    int selectedImage = 0;
    UINT state = 0;
    int childrenFlag = -1; // TVIF_CHILDREN as given; -1: from the children present
    Node* parent = nullptr;
    std::vector<Node*> children;
};

struct Tree : ControlState {
    std::unordered_map<ULONG_PTR, std::unique_ptr<Node>> nodes;
    Node root;
    ULONG_PTR nextId = 1;
    Node* caret = nullptr;
    Node* dropHilite = nullptr;
    HFONT font = nullptr;
    HIMAGELIST normalImages = nullptr;
    HIMAGELIST stateImages = nullptr;
    int indent = 19;
    int itemHeight = -1;
    VerticalScroll scroll;
    bool focused = false;
    bool deleting = false;
    bool pressed = false;
    POINT pressPoint{};
};

using Ptr = std::shared_ptr<Tree>;

DWORD Style(HWND hwnd) {
    return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
}

HTREEITEM HandleOf(const Node* node) {
    return node && node->id ? reinterpret_cast<HTREEITEM>(node->id) : nullptr;
}

Node* Find(Tree& tree, HTREEITEM handle) {
    if (!handle)
        return nullptr;
    auto it = tree.nodes.find(reinterpret_cast<ULONG_PTR>(handle));
    return it == tree.nodes.end() ? nullptr : it->second.get();
}

// The parent named by an insertion or a TVGN_CHILD query: NULL and TVI_ROOT are the root.
Node* FindParent(Tree& tree, HTREEITEM handle) {
    if (!handle || handle == TVI_ROOT)
        return &tree.root;
    return Find(tree, handle);
}

bool HasChildren(const Node& node) {
    if (node.childrenFlag >= 0)
        return node.childrenFlag != 0 || !node.children.empty();
    return !node.children.empty();
}

bool Expanded(const Node& node) {
    return (node.state & TVIS_EXPANDED) != 0;
}

int Depth(const Node& node) {
    int depth = 0;
    for (const Node* p = node.parent; p && p->id; p = p->parent)
        ++depth;
    return depth;
}

// The items that show, in order: the root's children and the children of every expanded item shown.
void CollectVisible(const Node& node, std::vector<Node*>& out) {
    for (Node* child : node.children) {
        out.push_back(child);
        if (Expanded(*child))
            CollectVisible(*child, out);
    }
}

std::vector<Node*> Visible(Tree& tree) {
    std::vector<Node*> out;
    CollectVisible(tree.root, out);
    return out;
}

int IndexIn(const std::vector<Node*>& visible, const Node* node) {
    auto it = std::find(visible.begin(), visible.end(), node);
    return it == visible.end() ? -1 : static_cast<int>(it - visible.begin());
}

int ItemHeight(const Tree& tree) {
    if (tree.itemHeight > 0)
        return tree.itemHeight;
    int height = FontLineHeight(tree.font) + 3;
    int cx = 0;
    int cy = 0;
    if (tree.normalImages && ImageList_GetIconSize(tree.normalImages, &cx, &cy))
        height = std::max(height, cy + 1);
    return height;
}

RECT Area(HWND hwnd) {
    RECT client;
    GetClientRect(hwnd, &client);
    return client;
}

void UpdateScroll(HWND hwnd, Tree& tree) {
    RECT area = Area(hwnd);
    tree.scroll.lines = static_cast<int>(Visible(tree).size());
    tree.scroll.page = std::max(0, (area.bottom - area.top) / ItemHeight(tree));
    tree.scroll.Clamp();
}

// How far the items of the first level stand in: one indent when the root shows buttons or lines.
int LevelOffset(HWND hwnd) {
    DWORD style = Style(hwnd);
    return (style & TVS_LINESATROOT) && (style & (TVS_HASBUTTONS | TVS_HASLINES)) ? 1 : 0;
}

struct RowLayout {
    RECT row;
    RECT button; // empty when the item shows no button
    RECT icon;
    RECT label;
};

int TextWidth(HWND hwnd, const Tree& tree, const std::u16string& text) {
    HDC dc = GetDC(hwnd);
    if (!dc)
        return 0;
    SIZE size{};
    {
        SelectedObject font(dc, FontOrSystem(tree.font));
        GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    }
    ReleaseDC(hwnd, dc);
    return size.cx;
}

RowLayout Layout(HWND hwnd, const Tree& tree, const Node& node, int visibleIndex) {
    RECT area = Area(hwnd);
    RECT bar = tree.scroll.BarRect(area);
    int height = ItemHeight(tree);
    int top = area.top + (visibleIndex - tree.scroll.position) * height;
    RowLayout layout{};
    layout.row = RECT{area.left, top, bar.left, top + height};
    int level = Depth(node) + LevelOffset(hwnd);
    int x = area.left + 2 + level * tree.indent;
    bool button = (Style(hwnd) & TVS_HASBUTTONS) && HasChildren(node) && level > 0;
    if (button) {
        int centre = x - tree.indent / 2;
        int middle = top + height / 2;
        layout.button = RECT{centre - 4, middle - 4, centre + 5, middle + 5};
    }
    int cx = 0;
    int cy = 0;
    int iconWidth = tree.normalImages && ImageList_GetIconSize(tree.normalImages, &cx, &cy) ? cx + 2 : 0;
    layout.icon = RECT{x, top, x + iconWidth, top + height};
    int labelWidth = TextWidth(hwnd, tree, node.text) + 4;
    layout.label = RECT{layout.icon.right, top, layout.icon.right + labelWidth, top + height};
    return layout;
}

void Invalidate(HWND hwnd) {
    InvalidateRect(hwnd, nullptr, FALSE);
}

TVITEMW Describe(const Node* node) {
    TVITEMW item{};
    item.mask = TVIF_HANDLE | TVIF_STATE | TVIF_PARAM;
    if (!node)
        return item;
    item.hItem = HandleOf(node);
    item.state = node->state;
    item.stateMask = 0xFFFF;
    item.lParam = node->lParam;
    return item;
}

LRESULT NotifyTree(HWND hwnd, UINT code, UINT action, const Node* oldNode, const Node* newNode) {
    NMTREEVIEWW record{};
    record.action = action;
    record.itemOld = Describe(oldNode);
    record.itemNew = Describe(newNode);
    return Notify(hwnd, code, &record.hdr);
}

bool Expand(HWND hwnd, const Ptr& tree, Node* node, UINT code);
bool Select(HWND hwnd, const Ptr& tree, Node* node, UINT action);

void EnsureVisible(HWND hwnd, const Ptr& tree, Node* node) {
    std::vector<Node*> ancestors;
    for (Node* p = node->parent; p && p->id; p = p->parent)
        ancestors.push_back(p);
    ULONG_PTR id = node->id;
    for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) {
        ULONG_PTR ancestor = (*it)->id;
        Node* current = Find(*tree, reinterpret_cast<HTREEITEM>(ancestor));
        if (!current || tree->destroyed)
            return;
        if (!Expanded(*current))
            Expand(hwnd, tree, current, TVE_EXPAND);
    }
    node = Find(*tree, reinterpret_cast<HTREEITEM>(id));
    if (!node || tree->destroyed)
        return;
    UpdateScroll(hwnd, *tree);
    int index = IndexIn(Visible(*tree), node);
    if (index < 0)
        return;
    int before = tree->scroll.position;
    if (index < tree->scroll.position)
        tree->scroll.position = index;
    else if (tree->scroll.page > 0 && index >= tree->scroll.position + tree->scroll.page)
        tree->scroll.position = index - tree->scroll.page + 1;
    tree->scroll.Clamp();
    if (before != tree->scroll.position)
        Invalidate(hwnd);
}

bool IsAncestor(const Node* ancestor, const Node* node) {
    for (const Node* p = node ? node->parent : nullptr; p; p = p->parent)
        if (p == ancestor)
            return true;
    return false;
}

bool Expand(HWND hwnd, const Ptr& tree, Node* node, UINT code) {
    if (!node || !HasChildren(*node))
        return false;
    UINT operation = code & TVE_TOGGLE;
    bool expand = operation == TVE_EXPAND || (operation == TVE_TOGGLE && !Expanded(*node));
    if (operation == 0)
        return false;
    if (expand == Expanded(*node) && !(code & TVE_COLLAPSERESET))
        return true;
    ULONG_PTR id = node->id;
    UINT action = expand ? TVE_EXPAND : TVE_COLLAPSE;
    if (NotifyTree(hwnd, TVN_ITEMEXPANDINGW, action, nullptr, node))
        return false;
    node = Find(*tree, reinterpret_cast<HTREEITEM>(id));
    if (tree->destroyed || !node)
        return false;
    if (expand)
        node->state |= TVIS_EXPANDED | TVIS_EXPANDEDONCE;
    else
        node->state &= ~TVIS_EXPANDED;
    if (!expand && IsAncestor(node, tree->caret)) {
        Select(hwnd, tree, node, TVC_UNKNOWN);
        node = Find(*tree, reinterpret_cast<HTREEITEM>(id));
        if (tree->destroyed || !node)
            return false;
    }
    UpdateScroll(hwnd, *tree);
    Invalidate(hwnd);
    NotifyTree(hwnd, TVN_ITEMEXPANDEDW, action, nullptr, node);
    return !tree->destroyed;
}

bool Select(HWND hwnd, const Ptr& tree, Node* node, UINT action) {
    if (node == tree->caret)
        return true;
    ULONG_PTR id = node ? node->id : 0;
    if (NotifyTree(hwnd, TVN_SELCHANGINGW, action, tree->caret, node))
        return false;
    if (tree->destroyed)
        return false;
    node = id ? Find(*tree, reinterpret_cast<HTREEITEM>(id)) : nullptr;
    if (id && !node)
        return false;
    if (node)
        EnsureVisible(hwnd, tree, node);
    node = id ? Find(*tree, reinterpret_cast<HTREEITEM>(id)) : nullptr;
    if (tree->destroyed || (id && !node))
        return false;
    Node* old = tree->caret;
    if (old)
        old->state &= ~TVIS_SELECTED;
    tree->caret = node;
    if (node)
        node->state |= TVIS_SELECTED;
    Invalidate(hwnd);
    // The old item as it was, for the notification.
    TVITEMW oldItem = Describe(old);
    NMTREEVIEWW record{};
    record.action = action;
    record.itemOld = oldItem;
    record.itemNew = Describe(node);
    Notify(hwnd, TVN_SELCHANGEDW, &record.hdr);
    return !tree->destroyed;
}

HTREEITEM Insert(HWND hwnd, const Ptr& tree, const TVINSERTSTRUCTW* insert) {
    if (!insert || tree->deleting)
        return nullptr;
    Node* parent = FindParent(*tree, insert->hParent);
    if (!parent)
        return nullptr;
    auto node = std::make_unique<Node>();
    node->id = tree->nextId++;
    node->parent = parent;
    const TVITEMW& item = insert->item;
    if ((item.mask & TVIF_TEXT) && item.pszText && item.pszText != LPSTR_TEXTCALLBACKW)
        node->text = item.pszText;
    if (item.mask & TVIF_PARAM)
        node->lParam = item.lParam;
    if (item.mask & TVIF_IMAGE)
        node->image = item.iImage;
    if (item.mask & TVIF_SELECTEDIMAGE)
        node->selectedImage = item.iSelectedImage;
    if (item.mask & TVIF_STATE)
        node->state = item.state & item.stateMask & ~TVIS_SELECTED;
    if (item.mask & TVIF_CHILDREN)
        node->childrenFlag = item.cChildren ? 1 : 0;
    auto& siblings = parent->children;
    size_t position = siblings.size();
    HTREEITEM after = insert->hInsertAfter;
    if (after == TVI_FIRST) {
        position = 0;
    } else if (after == TVI_SORT) {
        position = 0;
        while (position < siblings.size() &&
               _wcsicmp(siblings[position]->text.c_str(), node->text.c_str()) <= 0)
            ++position;
    } else if (after != TVI_LAST) {
        Node* previous = Find(*tree, after);
        auto it = std::find(siblings.begin(), siblings.end(), previous);
        if (it != siblings.end())
            position = static_cast<size_t>(it - siblings.begin()) + 1;
    }
    Node* raw = node.get();
    siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(position), raw);
    tree->nodes.emplace(raw->id, std::move(node));
    UpdateScroll(hwnd, *tree);
    Invalidate(hwnd);
    return HandleOf(raw);
}

void DeleteSubtree(HWND hwnd, const Ptr& tree, Node* node) {
    while (!node->children.empty())
        DeleteSubtree(hwnd, tree, node->children.back());
    NotifyTree(hwnd, TVN_DELETEITEMW, 0, node, nullptr);
    if (tree->dropHilite == node)
        tree->dropHilite = nullptr;
    if (tree->caret == node)
        tree->caret = nullptr;
    auto& siblings = node->parent->children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), node), siblings.end());
    tree->nodes.erase(node->id);
}

bool Delete(HWND hwnd, const Ptr& tree, HTREEITEM handle) {
    if (tree->deleting)
        return false;
    Node* node = (!handle || handle == TVI_ROOT) ? &tree->root : Find(*tree, handle);
    if (!node)
        return false;
    // Where the selection goes when it is deleted: the next sibling, the previous one, the parent.
    Node* replacement = nullptr;
    bool caretGoes = tree->caret && (tree->caret == node || IsAncestor(node, tree->caret));
    if (caretGoes && node != &tree->root) {
        auto& siblings = node->parent->children;
        auto it = std::find(siblings.begin(), siblings.end(), node);
        if (it != siblings.end() && it + 1 != siblings.end())
            replacement = *(it + 1);
        else if (it != siblings.begin() && it != siblings.end())
            replacement = *(it - 1);
        else if (node->parent->id)
            replacement = node->parent;
    }
    ULONG_PTR replacementId = replacement ? replacement->id : 0;
    tree->deleting = true;
    if (node == &tree->root) {
        while (!tree->root.children.empty() && !tree->destroyed)
            DeleteSubtree(hwnd, tree, tree->root.children.back());
    } else {
        DeleteSubtree(hwnd, tree, node);
    }
    tree->deleting = false;
    if (tree->destroyed)
        return false;
    UpdateScroll(hwnd, *tree);
    Invalidate(hwnd);
    if (caretGoes && replacementId)
        Select(hwnd, tree, Find(*tree, reinterpret_cast<HTREEITEM>(replacementId)), TVC_UNKNOWN);
    return true;
}

bool GetItem(Tree& tree, TVITEMW* item) {
    if (!item)
        return false;
    Node* node = Find(tree, item->hItem);
    if (!node)
        return false;
    if (item->mask & TVIF_TEXT)
        CopyText(node->text, item->pszText, item->cchTextMax);
    if (item->mask & TVIF_PARAM)
        item->lParam = node->lParam;
    if (item->mask & TVIF_IMAGE)
        item->iImage = node->image;
    if (item->mask & TVIF_SELECTEDIMAGE)
        item->iSelectedImage = node->selectedImage;
    if (item->mask & TVIF_STATE)
        item->state = node->state & (item->stateMask ? item->stateMask : 0xFFFFu);
    if (item->mask & TVIF_CHILDREN)
        item->cChildren = HasChildren(*node) ? 1 : 0;
    return true;
}

bool SetItem(HWND hwnd, Tree& tree, const TVITEMW* item) {
    if (!item)
        return false;
    Node* node = Find(tree, item->hItem);
    if (!node)
        return false;
    if ((item->mask & TVIF_TEXT) && item->pszText != LPSTR_TEXTCALLBACKW)
        node->text = item->pszText ? std::u16string(item->pszText) : std::u16string();
    if (item->mask & TVIF_PARAM)
        node->lParam = item->lParam;
    if (item->mask & TVIF_IMAGE)
        node->image = item->iImage;
    if (item->mask & TVIF_SELECTEDIMAGE)
        node->selectedImage = item->iSelectedImage;
    if (item->mask & TVIF_STATE)
        node->state = (node->state & ~item->stateMask) | (item->state & item->stateMask);
    if (item->mask & TVIF_CHILDREN)
        node->childrenFlag = item->cChildren ? 1 : 0;
    UpdateScroll(hwnd, tree);
    Invalidate(hwnd);
    return true;
}

Node* Sibling(Node* node, int step) {
    if (!node || !node->parent)
        return nullptr;
    auto& siblings = node->parent->children;
    auto it = std::find(siblings.begin(), siblings.end(), node);
    if (it == siblings.end())
        return nullptr;
    std::ptrdiff_t at = (it - siblings.begin()) + step;
    if (at < 0 || at >= static_cast<std::ptrdiff_t>(siblings.size()))
        return nullptr;
    return siblings[static_cast<size_t>(at)];
}

HTREEITEM NextItem(HWND hwnd, Tree& tree, UINT code, HTREEITEM handle) {
    Node* node = Find(tree, handle);
    switch (code) {
    case TVGN_ROOT:
        return tree.root.children.empty() ? nullptr : HandleOf(tree.root.children.front());
    case TVGN_NEXT:
        return HandleOf(Sibling(node, 1));
    case TVGN_PREVIOUS:
        return HandleOf(Sibling(node, -1));
    case TVGN_PARENT:
        return node && node->parent ? HandleOf(node->parent) : nullptr;
    case TVGN_CHILD: {
        Node* parent = handle ? node : &tree.root;
        return parent && !parent->children.empty() ? HandleOf(parent->children.front()) : nullptr;
    }
    case TVGN_CARET:
        return HandleOf(tree.caret);
    case TVGN_DROPHILITE:
        return HandleOf(tree.dropHilite);
    default:
        break;
    }
    UpdateScroll(hwnd, tree);
    std::vector<Node*> visible = Visible(tree);
    if (code == TVGN_FIRSTVISIBLE)
        return tree.scroll.position < static_cast<int>(visible.size())
                   ? HandleOf(visible[static_cast<size_t>(tree.scroll.position)])
                   : nullptr;
    if (code == TVGN_LASTVISIBLE)
        return visible.empty() ? nullptr : HandleOf(visible.back());
    int index = IndexIn(visible, node);
    if (index < 0)
        return nullptr;
    if (code == TVGN_NEXTVISIBLE)
        return index + 1 < static_cast<int>(visible.size())
                   ? HandleOf(visible[static_cast<size_t>(index + 1)])
                   : nullptr;
    if (code == TVGN_PREVIOUSVISIBLE)
        return index > 0 ? HandleOf(visible[static_cast<size_t>(index - 1)]) : nullptr;
    return nullptr;
}

HTREEITEM HitTest(HWND hwnd, Tree& tree, TVHITTESTINFO& info) {
    info.flags = TVHT_NOWHERE;
    info.hItem = nullptr;
    RECT area = Area(hwnd);
    if (info.pt.y < area.top) {
        info.flags = TVHT_ABOVE;
        return nullptr;
    }
    if (info.pt.y >= area.bottom) {
        info.flags = TVHT_BELOW;
        return nullptr;
    }
    UpdateScroll(hwnd, tree);
    std::vector<Node*> visible = Visible(tree);
    int index = tree.scroll.position + (info.pt.y - area.top) / ItemHeight(tree);
    if (index < 0 || index >= static_cast<int>(visible.size()))
        return nullptr;
    Node* node = visible[static_cast<size_t>(index)];
    RowLayout layout = Layout(hwnd, tree, *node, index);
    if (info.pt.x >= layout.row.right)
        return nullptr;
    info.hItem = HandleOf(node);
    if (PtInRect(&layout.button, info.pt))
        info.flags = TVHT_ONITEMBUTTON;
    else if (info.pt.x < layout.icon.left)
        info.flags = TVHT_ONITEMINDENT;
    else if (info.pt.x < layout.icon.right)
        info.flags = TVHT_ONITEMICON;
    else if (info.pt.x < layout.label.right)
        info.flags = TVHT_ONITEMLABEL;
    else
        info.flags = TVHT_ONITEMRIGHT;
    return info.hItem;
}

void Paint(HWND hwnd, const Ptr& tree) {
    user::ScopedPaint paint(hwnd, tree->font);
    if (!paint)
        return;
    HDC dc = paint.Dc();
    UpdateScroll(hwnd, *tree);
    RECT area = Area(hwnd);
    FillSolid(dc, area, GetSysColor(COLOR_WINDOW));
    std::vector<Node*> visible = Visible(*tree);
    bool showSelection = tree->focused || (Style(hwnd) & TVS_SHOWSELALWAYS);
    bool fullRow = (Style(hwnd) & TVS_FULLROWSELECT) != 0;
    for (int index = tree->scroll.position; index < static_cast<int>(visible.size()); ++index) {
        const Node& node = *visible[static_cast<size_t>(index)];
        RowLayout layout = Layout(hwnd, *tree, node, index);
        if (layout.row.top >= area.bottom)
            break;
        if (layout.button.right > layout.button.left) {
            FillSolid(dc, layout.button, GetSysColor(COLOR_WINDOW));
            SolidBrush frame(GetSysColor(COLOR_BTNSHADOW));
            FrameRect(dc, &layout.button, frame.Get());
            int middle = (layout.button.top + layout.button.bottom) / 2;
            int centre = (layout.button.left + layout.button.right) / 2;
            RECT across{layout.button.left + 2, middle, layout.button.right - 2, middle + 1};
            FillSolid(dc, across, GetSysColor(COLOR_WINDOWTEXT));
            if (!Expanded(node)) {
                RECT down{centre, layout.button.top + 2, centre + 1, layout.button.bottom - 2};
                FillSolid(dc, down, GetSysColor(COLOR_WINDOWTEXT));
            }
        }
        bool selected = ((node.state & TVIS_SELECTED) && showSelection) || (node.state & TVIS_DROPHILITED);
        if (tree->normalImages) {
            int image = (node.state & TVIS_SELECTED) ? node.selectedImage : node.image;
            int cx = 0;
            int cy = 0;
            ImageList_GetIconSize(tree->normalImages, &cx, &cy);
            ImageList_Draw(tree->normalImages, image, dc, layout.icon.left,
                           layout.row.top + (layout.row.bottom - layout.row.top - cy) / 2, ILD_NORMAL);
        }
        RECT label = layout.label;
        if (fullRow)
            label.right = layout.row.right;
        COLORREF text = GetSysColor(COLOR_WINDOWTEXT);
        if (selected) {
            bool active = tree->focused || (node.state & TVIS_DROPHILITED);
            FillSolid(dc, label, GetSysColor(active ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
            if (active)
                text = GetSysColor(COLOR_HIGHLIGHTTEXT);
        }
        RECT textRect{label.left + 2, label.top, label.right, label.bottom};
        DrawCellText(dc, node.text, textRect, 0, text);
        if (tree->focused && tree->caret == &node)
            DrawFocusRect(dc, &label);
    }
    tree->scroll.Draw(dc, area);
}

void KeyDown(HWND hwnd, const Ptr& tree, WPARAM key, LPARAM flags) {
    NMTVKEYDOWN record{};
    record.wVKey = static_cast<WORD>(key);
    record.flags = static_cast<UINT>(HIWORD(flags));
    Notify(hwnd, TVN_KEYDOWN, &record.hdr);
    if (tree->destroyed)
        return;
    UpdateScroll(hwnd, *tree);
    std::vector<Node*> visible = Visible(*tree);
    if (visible.empty())
        return;
    int index = IndexIn(visible, tree->caret);
    int count = static_cast<int>(visible.size());
    Node* target = nullptr;
    switch (key) {
    case VK_UP:
        target = visible[static_cast<size_t>(index < 0 ? 0 : std::max(0, index - 1))];
        break;
    case VK_DOWN:
        target = visible[static_cast<size_t>(index < 0 ? 0 : std::min(count - 1, index + 1))];
        break;
    case VK_HOME:
        target = visible.front();
        break;
    case VK_END:
        target = visible.back();
        break;
    case VK_PRIOR:
        target = visible[static_cast<size_t>(std::max(0, index - std::max(1, tree->scroll.page - 1)))];
        break;
    case VK_NEXT:
        target = visible[static_cast<size_t>(
            std::min(count - 1, std::max(0, index) + std::max(1, tree->scroll.page - 1)))];
        break;
    case VK_LEFT:
        if (!tree->caret)
            return;
        if (Expanded(*tree->caret) && HasChildren(*tree->caret))
            Expand(hwnd, tree, tree->caret, TVE_COLLAPSE);
        else if (tree->caret->parent && tree->caret->parent->id)
            target = tree->caret->parent;
        break;
    case VK_RIGHT:
        if (!tree->caret || !HasChildren(*tree->caret))
            return;
        if (!Expanded(*tree->caret))
            Expand(hwnd, tree, tree->caret, TVE_EXPAND);
        else if (!tree->caret->children.empty())
            target = tree->caret->children.front();
        break;
    case VK_RETURN:
        NotifyCode(hwnd, NM_RETURN);
        return;
    default:
        return;
    }
    if (target && !tree->destroyed)
        Select(hwnd, tree, target, TVC_BYKEYBOARD);
}

void ButtonDown(HWND hwnd, const Ptr& tree, LPARAM lParam, Tap tap) {
    POINT point = PointFromLParam(lParam);
    if (GetFocus() != hwnd)
        SetFocus(hwnd);
    if (tree->destroyed)
        return;
    if (tree->scroll.Tap(Area(hwnd), point)) {
        Invalidate(hwnd);
        return;
    }
    TVHITTESTINFO hit{};
    hit.pt = point;
    Node* node = Find(*tree, HitTest(hwnd, *tree, hit));
    bool onItem = (hit.flags & TVHT_ONITEM) || ((Style(hwnd) & TVS_FULLROWSELECT) && node);
    if (tap == Tap::Double) {
        if (NotifyCode(hwnd, NM_DBLCLK) || tree->destroyed)
            return;
        node = Find(*tree, hit.hItem);
        if (node && (onItem || (hit.flags & TVHT_ONITEMBUTTON)))
            Expand(hwnd, tree, node, TVE_TOGGLE);
        return;
    }
    if (node && (hit.flags & TVHT_ONITEMBUTTON))
        Expand(hwnd, tree, node, TVE_TOGGLE);
    else if (node && onItem)
        Select(hwnd, tree, node, TVC_BYMOUSE);
    if (tree->destroyed)
        return;
    tree->pressed = true;
    tree->pressPoint = point;
    SetCapture(hwnd);
}

// ---- Window messages.

void OnNcDestroy(HWND hwnd, Tree& tree) {
    tree.deleting = true;
    tree.nodes.clear();
    tree.root.children.clear();
    DetachState<Tree>(hwnd);
}

void OnSetFont(HWND hwnd, Tree& tree, WPARAM font, LPARAM redraw) {
    tree.font = reinterpret_cast<HFONT>(font);
    UpdateScroll(hwnd, tree);
    if (LOWORD(redraw))
        Invalidate(hwnd);
}

void OnSetFocus(HWND hwnd, Tree& tree) {
    tree.focused = true;
    Invalidate(hwnd);
    NotifyCode(hwnd, NM_SETFOCUS);
}

void OnKillFocus(HWND hwnd, Tree& tree) {
    tree.focused = false;
    Invalidate(hwnd);
    NotifyCode(hwnd, NM_KILLFOCUS);
}

void OnLButtonUp(HWND hwnd, Tree& tree) {
    if (!tree.pressed)
        return;
    tree.pressed = false;
    if (GetCapture() == hwnd)
        ReleaseCapture();
    NotifyCode(hwnd, NM_CLICK);
}

void OnCaptureChanged(HWND hwnd, Tree& tree, HWND capture) {
    if (capture != hwnd)
        tree.pressed = false;
}

// ---- Tree view messages.

bool SetDropHilite(HWND hwnd, Tree& tree, Node* node) {
    if (tree.dropHilite)
        tree.dropHilite->state &= ~TVIS_DROPHILITED;
    tree.dropHilite = node;
    if (node)
        node->state |= TVIS_DROPHILITED;
    Invalidate(hwnd);
    return true;
}

// Scrolls so that the item is the first one shown, as far as the scroll range goes.
bool ScrollToFirstVisible(HWND hwnd, const Ptr& tree, HTREEITEM handle) {
    EnsureVisible(hwnd, tree, Find(*tree, handle));
    if (tree->destroyed)
        return false;
    int index = IndexIn(Visible(*tree), Find(*tree, handle));
    if (index >= 0) {
        tree->scroll.position = index;
        tree->scroll.Clamp();
        Invalidate(hwnd);
    }
    return true;
}

bool SelectItem(HWND hwnd, const Ptr& tree, WPARAM code, HTREEITEM handle) {
    Node* node = Find(*tree, handle);
    if (handle && !node)
        return false;
    if (code == TVGN_CARET)
        return Select(hwnd, tree, node, TVC_UNKNOWN);
    if (code == TVGN_DROPHILITE)
        return SetDropHilite(hwnd, *tree, node);
    if (code == TVGN_FIRSTVISIBLE && node)
        return ScrollToFirstVisible(hwnd, tree, handle);
    return false;
}

bool EnsureItemVisible(HWND hwnd, const Ptr& tree, HTREEITEM handle) {
    Node* node = Find(*tree, handle);
    if (!node)
        return false;
    EnsureVisible(hwnd, tree, node);
    return true;
}

// The rectangle of the item whose handle the rectangle holds: the label's alone, or the whole row's.
bool GetItemRect(HWND hwnd, Tree& tree, WPARAM labelOnly, RECT* rect) {
    if (!rect)
        return false;
    HTREEITEM handle = nullptr;
    static_assert(sizeof(HTREEITEM) <= sizeof(RECT));
    std::memcpy(&handle, rect, sizeof handle);
    Node* node = Find(tree, handle);
    if (!node)
        return false;
    UpdateScroll(hwnd, tree);
    int index = IndexIn(Visible(tree), node);
    if (index < 0)
        return false;
    RowLayout layout = Layout(hwnd, tree, *node, index);
    *rect = labelOnly ? layout.label : layout.row;
    return true;
}

HTREEITEM HitTestOf(HWND hwnd, Tree& tree, TVHITTESTINFO* info) {
    return info ? HitTest(hwnd, tree, *info) : nullptr;
}

int VisibleCount(HWND hwnd, Tree& tree) {
    UpdateScroll(hwnd, tree);
    return tree.scroll.page;
}

void SetIndent(HWND hwnd, Tree& tree, int indent) {
    tree.indent = std::max(0, indent);
    Invalidate(hwnd);
}

// The height before; 0 or less goes back to the font's.
int SetItemHeight(HWND hwnd, Tree& tree, int height) {
    int old = ItemHeight(tree);
    tree.itemHeight = height > 0 ? height : -1;
    UpdateScroll(hwnd, tree);
    Invalidate(hwnd);
    return old;
}

HIMAGELIST& ImageSlot(Tree& tree, WPARAM type) {
    return type == TVSIL_STATE ? tree.stateImages : tree.normalImages;
}

// The list that was in the slot.
HIMAGELIST SetImageList(HWND hwnd, Tree& tree, WPARAM type, HIMAGELIST list) {
    HIMAGELIST old = std::exchange(ImageSlot(tree, type), list);
    Invalidate(hwnd);
    return old;
}

LRESULT TreeViewMessage(HWND hwnd, const Ptr& tree, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        Delete(hwnd, tree, TVI_ROOT);
        return 0;
    case WM_NCDESTROY:
        OnNcDestroy(hwnd, *tree);
        return 0;
    case WM_SIZE:
        UpdateScroll(hwnd, *tree);
        return 0;
    case WM_SETFONT:
        OnSetFont(hwnd, *tree, wParam, lParam);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(tree->font);
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(hwnd, tree);
        return 0;
    case WM_SETFOCUS:
        OnSetFocus(hwnd, *tree);
        return 0;
    case WM_KILLFOCUS:
        OnKillFocus(hwnd, *tree);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
        KeyDown(hwnd, tree, wParam, lParam);
        return 0;
    case WM_LBUTTONDOWN:
        ButtonDown(hwnd, tree, lParam, Tap::Single);
        return 0;
    case WM_LBUTTONDBLCLK:
        ButtonDown(hwnd, tree, lParam, Tap::Double);
        return 0;
    case WM_LBUTTONUP:
        OnLButtonUp(hwnd, *tree);
        return 0;
    case WM_CAPTURECHANGED:
        OnCaptureChanged(hwnd, *tree, reinterpret_cast<HWND>(lParam));
        return 0;

    case TVM_INSERTITEMW:
        return reinterpret_cast<LRESULT>(
            Insert(hwnd, tree, reinterpret_cast<const TVINSERTSTRUCTW*>(lParam)));
    case TVM_DELETEITEM:
        return Delete(hwnd, tree, reinterpret_cast<HTREEITEM>(lParam));
    case TVM_EXPAND:
        return Expand(hwnd, tree, Find(*tree, reinterpret_cast<HTREEITEM>(lParam)),
                      static_cast<UINT>(wParam));
    case TVM_GETITEMW:
        return GetItem(*tree, reinterpret_cast<TVITEMW*>(lParam));
    case TVM_SETITEMW:
        return SetItem(hwnd, *tree, reinterpret_cast<const TVITEMW*>(lParam));
    case TVM_GETNEXTITEM:
        return reinterpret_cast<LRESULT>(
            NextItem(hwnd, *tree, static_cast<UINT>(wParam), reinterpret_cast<HTREEITEM>(lParam)));
    case TVM_SELECTITEM:
        return SelectItem(hwnd, tree, wParam, reinterpret_cast<HTREEITEM>(lParam));
    case TVM_ENSUREVISIBLE:
        return EnsureItemVisible(hwnd, tree, reinterpret_cast<HTREEITEM>(lParam));
    case TVM_GETITEMRECT:
        return GetItemRect(hwnd, *tree, wParam, reinterpret_cast<RECT*>(lParam));
    case TVM_HITTEST:
        return reinterpret_cast<LRESULT>(HitTestOf(hwnd, *tree, reinterpret_cast<TVHITTESTINFO*>(lParam)));
    case TVM_GETCOUNT:
        return static_cast<LRESULT>(tree->nodes.size());
    case TVM_GETVISIBLECOUNT:
        return VisibleCount(hwnd, *tree);
    case TVM_GETINDENT:
        return tree->indent;
    case TVM_SETINDENT:
        SetIndent(hwnd, *tree, static_cast<int>(wParam));
        return 0;
    case TVM_GETITEMHEIGHT:
        return ItemHeight(*tree);
    case TVM_SETITEMHEIGHT:
        return SetItemHeight(hwnd, *tree, static_cast<SHORT>(LOWORD(wParam)));
    case TVM_SETIMAGELIST:
        return reinterpret_cast<LRESULT>(
            SetImageList(hwnd, *tree, wParam, reinterpret_cast<HIMAGELIST>(lParam)));
    case TVM_GETIMAGELIST:
        return reinterpret_cast<LRESULT>(ImageSlot(*tree, wParam));
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

const user::SystemClass kTreeViewClass({CS_DBLCLKS, StateProc<Tree, TreeViewMessage>, 0, sizeof(void*),
                                        nullptr, nullptr, nullptr, nullptr, nullptr, WC_TREEVIEWW});

} // namespace
} // namespace commctrl
