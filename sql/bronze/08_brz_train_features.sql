-- Training segments per customer and period.
CREATE TABLE brz_train_features (
    muta    VARCHAR,
    donem   VARCHAR,
    segment VARCHAR
);
