#include "markup/MarkupContent.h"

#include <cstring>
#include <new>

#include "markup/MarkupLayout.h"

namespace {

// Calls ReleaseStyle however placing a run ends.
class StyleSelection {
public:
    StyleSelection(MarkupMeasurer &measurer, const TextStyle &style) : m_measurer(measurer)
    {
        m_measurer.SelectStyle(style);
    }
    ~StyleSelection() { m_measurer.ReleaseStyle(); }
    StyleSelection(const StyleSelection &) = delete;
    StyleSelection &operator=(const StyleSelection &) = delete;

private:
    MarkupMeasurer &m_measurer;
};

} // namespace

MarkupContent::MarkupContent() : m_nLineSpacing(0)
{
    std::memset(m_argWidth, 0, sizeof(m_argWidth));
    m_argWidth[static_cast<unsigned char>('c')] = 6;
    m_argWidth[static_cast<unsigned char>('k')] = 6;
    m_argWidth[static_cast<unsigned char>('h')] = 2;
    m_argWidth[static_cast<unsigned char>('l')] = 2;
    m_argWidth[static_cast<unsigned char>('s')] = 2;
    m_argWidth[static_cast<unsigned char>('~')] = 1;
}

void MarkupContent::ResetContent()
{
    m_styles.clear();
    m_strPlain.Empty();
    m_strMarkup.Empty();
    m_runs.clear();
    m_nLineSpacing = 0;
}

void MarkupContent::ParseMarkup()
{
    m_runs.clear();
    m_strPlain.Empty();
    const CString src = m_strMarkup;
    const char *const s = src;
    const int len = src.GetLength();
    try {
        int i = 0;
        while (i < len) {
            std::unique_ptr<MarkupRun> run(new (std::nothrow) MarkupRun);
            if (!run)
                break;
            int token;
            if (s[i] == CODE_START) {
                if (i + 1 >= len)
                    break;   // a bar as the last byte
                const char letter = s[i + 1];
                const int width = m_argWidth[static_cast<unsigned char>(letter)];
                if (i + 2 + width > len)
                    break;   // the argument is cut off by the end
                token = 2 + width;
                if (letter == CODE_START) {
                    run->strText = CString(CODE_START);
                } else if (letter != '$') {
                    run->bIsCode = true;
                    run->chCode = letter;
                    run->strArg = CString(s + i + 2, width);
                }
            } else {
                const void *bar = std::memchr(s + i, CODE_START, static_cast<size_t>(len - i));
                token = bar ? static_cast<int>(static_cast<const char *>(bar) - s) - i : len - i;
                run->strText = CString(s + i, token);
            }
            m_runs.push_back(std::move(run));
            i += token;
        }
        for (const std::unique_ptr<MarkupRun> &run : m_runs)
            if (!run->bIsCode)
                m_strPlain += run->strText;
    } catch (const std::bad_alloc &) {
        // Out of memory: the runs parsed so far stay.
    }
}

void MarkupContent::ApplyCode(const MarkupRun &run)
{
    if (m_styles.empty() || !run.bIsCode)
        return;
    TextStyle &style = m_styles.back();
    const char *arg = run.strArg;
    switch (run.chCode) {
    case 'c':
        style.crText = HexToColorRef(arg);
        style.bHasTextColor = true;
        break;
    case 'k':
        style.crBack = HexToColorRef(arg);
        style.bHasBackColor = true;
        break;
    case 'b':
        style.lf.lfWeight = TEXT_WEIGHT_BOLD;
        break;
    case 'U':
        style.lf.lfUnderline = 1;
        break;
    case 'u':
        style.bLineUnderline = true;
        break;
    case 's':
        // Minus the value, as a character height; wraps like the 32-bit value itself.
        style.lf.lfHeight = static_cast<std::int32_t>(0u - HexValue(arg));
        break;
    case 'h':
        style.nLink = HexValue(arg);
        break;
    case 'l':
        m_nLineSpacing = static_cast<int>(HexValue(arg));
        break;
    case '+':
        m_styles.push_back(TextStyle(style));
        break;
    case '-':
        if (m_styles.size() >= 2)
            m_styles.pop_back();
        break;
    case '~':
        switch (arg[0]) {
        case 'c':
            style.bHasTextColor = false;
            break;
        case 'k':
            style.bHasBackColor = false;
            break;
        case 'b':
            style.lf.lfWeight = TEXT_WEIGHT_NORMAL;
            break;
        case 'U':
        case 'u':
            style.lf.lfUnderline = 0;
            style.bLineUnderline = false;
            break;
        case 's':
            style.lf.lfHeight = TEXT_HEIGHT_DEFAULT;
            break;
        case 'h':
            style.nLink = 0;
            break;
        case 'l':
            m_nLineSpacing = 0;
            break;
        default:
            break;
        }
        break;
    default:
        break;   // unknown codes do nothing
    }
}

void MarkupContent::LayoutRuns(MarkupMeasurer &measurer, const CharStepper &stepper, int clientRight)
{
    MarkupLayout layout(measurer, stepper, clientRight);
    for (const std::unique_ptr<MarkupRun> &run : m_runs) {
        if (run->bIsCode) {
            ApplyCode(*run);
            continue;
        }
        if (m_styles.empty())
            return;
        const TextStyle style = m_styles.back();
        StyleSelection selection(measurer, style);
        layout.Place(*run, style, m_nLineSpacing);
    }
}

const LineFragment *MarkupContent::LinkFragmentAt(int x, int y) const
{
    const LineFragment *fragment = nullptr;
    LinkRunAt(x, y, nullptr, &fragment);
    return fragment;
}

const MarkupRun *MarkupContent::LinkRunAt(int x, int y, int *pOffset, const LineFragment **ppFragment) const
{
    if (ppFragment)
        *ppFragment = nullptr;
    int offset = 0;
    for (const std::unique_ptr<MarkupRun> &run : m_runs) {
        int placed = 0;
        for (const LineFragment &fragment : run->fragments) {
            if (fragment.nLink == 1 && fragment.rc.Contains(x, y)) {
                if (pOffset)
                    *pOffset = offset;
                if (ppFragment)
                    *ppFragment = &fragment;
                return run.get();
            }
            placed += fragment.strText.GetLength();
        }
        offset += placed;
    }
    return nullptr;
}
