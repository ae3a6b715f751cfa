// The linear solver under the layout engine. Variables are unrestricted reals; constraints are
// linear equations and inequalities, each required or at a priority below required. Required
// constraints hold exactly. The others are met as well as possible, strictly by priority: the sum
// of the errors at the highest priority is made as small as it can be, then, without giving any of
// that back, the sum at the next priority, and so on.
//
// This is the Cassowary algorithm (a simplex tableau kept in solved form: unrestricted variables
// basic where they can be, a slack or a pair of error variables per constraint, an artificial
// variable for a required constraint that has no ready subject), with the objective held as one
// row per priority level and compared lexicographically, so that no weight, however large, can
// trade a higher priority's error for lower ones. Entering and leaving symbols follow Bland's rule
// (lowest id), so the simplex cannot cycle; a pivot limit bounds it all the same.
#pragma once

#include <map>
#include <memory>
#include <vector>

namespace qlo::ui {

class ConstraintSolver {
public:
    enum class Relation { LessOrEqual, Equal, GreaterOrEqual };
    struct Term {
        int variable;
        double coefficient;
    };
    // sum(coefficient * variable) + constant
    struct Expression {
        std::vector<Term> terms;
        double constant = 0;
    };
    // Priorities at or above this are required.
    static constexpr double kRequired = 1000;

    ConstraintSolver();
    ~ConstraintSolver();
    ConstraintSolver(const ConstraintSolver&) = delete;
    ConstraintSolver& operator=(const ConstraintSolver&) = delete;

    // A new variable (its value is 0 until constraints say otherwise).
    int addVariable();
    // Adds `expression relation 0` and re-optimises. Returns false, and leaves the constraint
    // out, when it is required and cannot hold together with the required ones added before.
    bool addConstraint(const Expression& expression, Relation relation, double priority);
    double value(int variable) const;

    // Pivots done so far, and whether the pivot limit ever stopped an optimisation.
    long pivotCount() const { return pivots_; }
    bool hitPivotLimit() const { return hitLimit_; }

private:
    enum class SymbolType : unsigned char { External, Slack, Error, Dummy };
    struct Row;

    int newSymbol(SymbolType type);
    int chooseSubject(const Row& row, int marker, int other) const;
    bool allDummies(const Row& row) const;
    bool addWithArtificialVariable(const Row& row);
    void optimize(const std::vector<Row*>& objective);
    int enteringSymbol(const std::vector<Row*>& objective) const;
    void pivot(int leaving, int entering);
    void substitute(int symbol, const Row& row);
    std::vector<Row*> objectiveLevels();

    std::vector<SymbolType> types_;
    std::map<int, std::unique_ptr<Row>> rows_;                          // basic symbol -> row
    std::map<double, std::unique_ptr<Row>, std::greater<double>> objective_;  // by priority
    std::unique_ptr<Row> artificial_;
    long pivots_ = 0;
    bool hitLimit_ = false;
};

}  // namespace qlo::ui
