INSERT INTO brz_train_features VALUES
    -- a blank segment in the newest period is no segment: the older real one wins
    ('1', '2402', '  '), ('1', '2401', 'KOBI'),
    -- a tab or a no-break space alone is blank too
    ('2', '2402', chr(9)), ('2', '2312', 'MIKRO'),
    ('3', '2402', chr(160)),
    -- two segments in one period: the first in byte order
    ('4', '2402', 'MIKRO'), ('4', '2402', 'KOBI'),
    ('5', '2402', NULL), ('5', '2401', 'ESKK'),
    ('6', '2401', 'KOBI'), ('6', '2402', 'KUR-TIC');
