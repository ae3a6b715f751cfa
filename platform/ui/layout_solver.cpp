#include "platform/ui/layout_solver.h"

#include <cmath>
#include <limits>

namespace qlo::ui {

namespace {

constexpr double kEpsilon = 1e-8;
// Far more than any view tree needs (a few pivots per constraint); only a numerical accident
// could get there, and then the best solution found so far is kept.
constexpr long kMaxPivotsPerOptimization = 100000;

bool NearZero(double v) { return std::fabs(v) < kEpsilon; }

}  // namespace

// One equation of the tableau: basic symbol = constant + sum(coefficient * parametric symbol).
// Before it has a subject, the row is the expression that must equal zero.
struct ConstraintSolver::Row {
    double constant = 0;
    std::map<int, double> cells;

    explicit Row(double c = 0) : constant(c) {}

    double coefficientFor(int symbol) const {
        auto it = cells.find(symbol);
        return it == cells.end() ? 0 : it->second;
    }
    void insert(int symbol, double coefficient) {
        auto [it, added] = cells.emplace(symbol, coefficient);
        if (!added) it->second += coefficient;
        if (NearZero(it->second)) cells.erase(it);
    }
    void insert(const Row& other, double coefficient) {
        constant += other.constant * coefficient;
        for (const auto& [symbol, c] : other.cells) insert(symbol, c * coefficient);
    }
    void remove(int symbol) { cells.erase(symbol); }
    void reverseSign() {
        constant = -constant;
        for (auto& cell : cells) cell.second = -cell.second;
    }
    // 0 = constant + a*symbol + rest  becomes  symbol = -constant/a - rest/a.
    void solveFor(int symbol) {
        auto it = cells.find(symbol);
        const double factor = -1.0 / it->second;
        cells.erase(it);
        constant *= factor;
        for (auto& cell : cells) cell.second *= factor;
    }
    // lhs = this row, solved for rhs instead.
    void solveFor(int lhs, int rhs) {
        insert(lhs, -1.0);
        solveFor(rhs);
    }
    void substitute(int symbol, const Row& row) {
        auto it = cells.find(symbol);
        if (it == cells.end()) return;
        const double coefficient = it->second;
        cells.erase(it);
        insert(row, coefficient);
    }
};

ConstraintSolver::ConstraintSolver() = default;
ConstraintSolver::~ConstraintSolver() = default;

int ConstraintSolver::newSymbol(SymbolType type) {
    types_.push_back(type);
    return static_cast<int>(types_.size()) - 1;
}

int ConstraintSolver::addVariable() { return newSymbol(SymbolType::External); }

double ConstraintSolver::value(int variable) const {
    auto it = rows_.find(variable);
    return it == rows_.end() ? 0 : it->second->constant;
}

std::vector<ConstraintSolver::Row*> ConstraintSolver::objectiveLevels() {
    std::vector<Row*> levels;
    for (auto& [priority, row] : objective_) levels.push_back(row.get());
    return levels;
}

bool ConstraintSolver::addConstraint(const Expression& expression, Relation relation,
                                     double priority) {
    const bool required = !(priority < kRequired);
    // The expression in terms of the current parametric symbols.
    auto row = std::make_unique<Row>(expression.constant);
    for (const Term& term : expression.terms) {
        if (NearZero(term.coefficient)) continue;
        auto basic = rows_.find(term.variable);
        if (basic != rows_.end()) {
            row->insert(*basic->second, term.coefficient);
        } else {
            row->insert(term.variable, term.coefficient);
        }
    }
    Row* level = nullptr;
    if (!required) {
        auto& slot = objective_[priority];
        if (!slot) slot = std::make_unique<Row>();
        level = slot.get();
    }
    int marker = -1;
    int other = -1;
    if (relation == Relation::Equal) {
        if (required) {
            marker = newSymbol(SymbolType::Dummy);
            row->insert(marker, 1.0);
        } else {
            // expression = plus - minus, both errors counted.
            marker = newSymbol(SymbolType::Error);
            other = newSymbol(SymbolType::Error);
            row->insert(marker, -1.0);
            row->insert(other, 1.0);
            level->insert(marker, 1.0);
            level->insert(other, 1.0);
        }
    } else {
        // expression <= 0: expression + slack = 0; expression >= 0: expression - slack = 0. A
        // non-required one may miss by an error: expression + slack - error = 0 (and mirrored).
        const double sign = relation == Relation::LessOrEqual ? 1.0 : -1.0;
        marker = newSymbol(SymbolType::Slack);
        row->insert(marker, sign);
        if (!required) {
            other = newSymbol(SymbolType::Error);
            row->insert(other, -sign);
            level->insert(other, 1.0);
        }
    }
    if (row->constant < 0) row->reverseSign();

    int subject = chooseSubject(*row, marker, other);
    if (subject < 0 && allDummies(*row)) {
        // Only dummies: the constraint repeats required equations; fine exactly when consistent.
        if (!NearZero(row->constant)) return false;
        subject = marker;
    }
    if (subject < 0) {
        const bool added = addWithArtificialVariable(*row);
        optimize(objectiveLevels());
        return added;
    }
    row->solveFor(subject);
    substitute(subject, *row);
    rows_[subject] = std::move(row);
    optimize(objectiveLevels());
    return true;
}

int ConstraintSolver::chooseSubject(const Row& row, int marker, int other) const {
    // An unrestricted variable can take any value: the best subject.
    for (const auto& [symbol, c] : row.cells) {
        if (types_[symbol] == SymbolType::External) return symbol;
    }
    // A slack or error variable with a negative coefficient: it comes out non-negative, since
    // the row's constant is.
    for (int candidate : {marker, other}) {
        if (candidate < 0) continue;
        const SymbolType type = types_[candidate];
        if ((type == SymbolType::Slack || type == SymbolType::Error) &&
            row.coefficientFor(candidate) < 0) {
            return candidate;
        }
    }
    return -1;
}

bool ConstraintSolver::allDummies(const Row& row) const {
    for (const auto& [symbol, c] : row.cells) {
        if (types_[symbol] != SymbolType::Dummy) return false;
    }
    return true;
}

bool ConstraintSolver::addWithArtificialVariable(const Row& row) {
    // Phase one: an artificial variable equal to the row, minimised; the constraint can hold
    // exactly when it reaches zero.
    const int art = newSymbol(SymbolType::Slack);
    rows_[art] = std::make_unique<Row>(row);
    artificial_ = std::make_unique<Row>(row);
    optimize({artificial_.get()});
    const bool success = NearZero(artificial_->constant);
    artificial_.reset();

    auto it = rows_.find(art);
    if (it != rows_.end()) {
        std::unique_ptr<Row> artRow = std::move(it->second);
        rows_.erase(it);
        // Unsatisfiable: the artificial variable is basic and non-zero. Dropping its row leaves
        // the earlier constraints exactly as they were (rewritten by the pivots).
        if (!success) return false;
        if (artRow->cells.empty()) return true;
        int entering = -1;
        for (const auto& [symbol, c] : artRow->cells) {
            if (types_[symbol] == SymbolType::Slack || types_[symbol] == SymbolType::Error) {
                entering = symbol;
                break;
            }
        }
        if (entering < 0) return false;
        artRow->solveFor(art, entering);
        substitute(entering, *artRow);
        rows_[entering] = std::move(artRow);
    }
    // The artificial variable is parametric now, and zero: take it out everywhere.
    for (auto& [symbol, r] : rows_) r->remove(art);
    for (auto& [priority, r] : objective_) r->remove(art);
    return success;
}

int ConstraintSolver::enteringSymbol(const std::vector<Row*>& objective) const {
    // The lowest symbol whose reduced cost is lexicographically negative: its first non-zero
    // coefficient, highest priority first, is below zero.
    int best = -1;
    for (const Row* level : objective) {
        for (const auto& [symbol, c] : level->cells) {
            if (types_[symbol] == SymbolType::Dummy || (best >= 0 && symbol >= best)) continue;
            bool improves = false;
            for (const Row* l : objective) {
                const double cost = l->coefficientFor(symbol);
                if (NearZero(cost)) continue;
                improves = cost < 0;
                break;
            }
            if (improves) best = symbol;
        }
    }
    return best;
}

void ConstraintSolver::optimize(const std::vector<Row*>& objective) {
    for (long n = 0; n < kMaxPivotsPerOptimization; ++n) {
        const int entering = enteringSymbol(objective);
        if (entering < 0) return;
        // The restricted row that limits the entering symbol first (lowest id on a tie).
        int leaving = -1;
        double bestRatio = std::numeric_limits<double>::max();
        for (const auto& [symbol, r] : rows_) {
            if (types_[symbol] == SymbolType::External) continue;
            const double c = r->coefficientFor(entering);
            if (c < 0) {
                const double ratio = -r->constant / c;
                if (ratio < bestRatio) {
                    bestRatio = ratio;
                    leaving = symbol;
                }
            }
        }
        // Unbounded cannot happen (errors are never negative); stop rather than loop.
        if (leaving < 0) return;
        pivot(leaving, entering);
    }
    hitLimit_ = true;
}

void ConstraintSolver::pivot(int leaving, int entering) {
    ++pivots_;
    auto it = rows_.find(leaving);
    std::unique_ptr<Row> row = std::move(it->second);
    rows_.erase(it);
    row->solveFor(leaving, entering);
    substitute(entering, *row);
    rows_[entering] = std::move(row);
}

void ConstraintSolver::substitute(int symbol, const Row& row) {
    for (auto& [basic, r] : rows_) r->substitute(symbol, row);
    for (auto& [priority, r] : objective_) r->substitute(symbol, row);
    if (artificial_) artificial_->substitute(symbol, row);
}

}  // namespace qlo::ui
